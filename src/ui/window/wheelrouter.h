#pragma once

// Sends the mouse wheel to the parameter scroll areas under the pointer, one line a notch,
// whichever control has the focus (so a combo box under the pointer never eats it).

#include <QObject>

class QWidget;

namespace m845 {

class TWheelRouter final : public QObject
{
    Q_OBJECT
public:
    // root is the window whose scroll areas are looked up by name at each event.
    explicit TWheelRouter(QWidget *root);
    ~TWheelRouter() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_root = nullptr;
};

} // namespace m845
