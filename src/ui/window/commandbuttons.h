#pragma once

// The command buttons: four main commands in rzgrpbxBtn, nine single commands in the
// scroll box advscrlbxBtn; every click reports the button's tag.

#include <functional>
#include <vector>

#include <QObject>

class QPushButton;
class QScrollArea;
class QWidget;

namespace m845 {

class TCommandButtons final : public QObject
{
    Q_OBJECT
public:
    explicit TCommandButtons(QObject *parent = nullptr);

    // Builds rzgrpbxBtn and advscrlbxBtn under the given parents.
    [[nodiscard]] QWidget *BuildMainGroup(QWidget *parent);
    [[nodiscard]] QScrollArea *BuildSingleBox(QWidget *parent);
    void ApplyTexts();
    [[nodiscard]] const std::vector<QPushButton *> &Buttons() const { return m_buttons; }

signals:
    void Clicked(int tag);

private:
    QPushButton *MakeButton(const char *name, int tag, QWidget *parent);

    std::vector<QPushButton *> m_buttons;
};

} // namespace m845
