#pragma once

// Marks on the parameter panel's controls: a small coloured corner on the control, the reason
// in its hint (after the control's own) and in its accessible description, and one status line
// in the work-mode row. What to mark is decided elsewhere; this only shows it, and says when
// the technician or a rule has changed any control.

#include <cstdint>
#include <vector>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

namespace m845 {

class TParamPanel;

enum class TMarkKind : std::uint8_t {
    NotRead, // the last read-all did not report it
    Changed, // changed since the last read
    Differs, // the device holds another value
};

struct TControlMark
{
    QString control; // the control's object name
    TMarkKind kind = TMarkKind::Changed;
    QString text; // one line of the hint, in the current language
};

class TChangeMarks final : public QObject
{
    Q_OBJECT
public:
    explicit TChangeMarks(TParamPanel &panel);
    ~TChangeMarks() override;
    TChangeMarks(const TChangeMarks &) = delete;
    TChangeMarks &operator=(const TChangeMarks &) = delete;

    // Every control's marks at once; a control left out loses its mark.
    void SetMarks(const std::vector<TControlMark> &marks);
    // detail: the hint and accessible description of the status line.
    void SetStatus(const QString &text, const QString &detail);

    [[nodiscard]] QLabel *StatusLabel() const { return m_status; }

signals:
    // Some control of the panel changed (once per turn of the event loop, however many did).
    void PanelEdited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct TDecoration
    {
        QString ownHint;
        QString ownDescription;
        QString markText;
        QPointer<QWidget> corner;
    };

    void WatchControls();
    void NoteEdit();
    void Decorate(QWidget *control, TMarkKind kind, const QString &text);
    void Undecorate(QWidget *control);
    void ShowHint(QWidget *control, const TDecoration &decoration);

    TParamPanel &m_panel;
    QLabel *m_status = nullptr;
    QHash<QWidget *, TDecoration> m_decorated;
    bool m_settingHint = false;
    bool m_editNoted = false;
};

} // namespace m845
