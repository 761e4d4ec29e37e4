#pragma once

// Find in the log: a bar above the log box (Ctrl+F) with next and previous (Enter, Shift+Enter,
// F3, Shift+F3), the match count, every match in view highlighted, and match case; Escape
// closes it. The count is made a slice at a time, so a full log never stalls the window.

#include <functional>

#include <QTextCursor>
#include <QTimer>
#include <QWidget>

#include "ui/terminal/logsearch.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace m845 {

class TFindBar final : public QWidget
{
    Q_OBJECT
public:
    // Goes into the layout of box's parent, just above box; window takes the keys.
    TFindBar(QPlainTextEdit &box, QWidget *window);

    // Shows the bar with the box's selection (one line of it) as the text to find.
    void Open();
    void Close();
    void FindNext();
    void FindPrevious();
    void SetText(const QString &text);
    void SetMatchCase(bool on);
    // Completes the count now (tests and the benchmark's end).
    void FinishCount();

    [[nodiscard]] TLogSearch &Search() { return m_search; }
    // The match shown as the current one; none when it went with its line.
    [[nodiscard]] TLogMatch Current() const;
    [[nodiscard]] QString CountText() const;
    [[nodiscard]] QLineEdit *Field() const { return m_edtFind; }
    // The longest the bar kept the event loop in one go, for the benchmark to tell its share.
    [[nodiscard]] qint64 LongestWorkNs() const { return m_longestWorkNs; }
    void ResetLongestWork() { m_longestWorkNs = 0; }

    // Told true while a match is shown, so that new entries do not scroll it away.
    std::function<void(bool hold)> HoldView;

    void ApplyTexts();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Restart();
    void StepCount();
    void Show(const TLogMatch &match);
    void ScheduleRefresh();
    void Refresh();
    [[nodiscard]] int CurrentOrCaret() const;

    QPlainTextEdit &m_box;
    TLogSearch m_search;
    QLineEdit *m_edtFind = nullptr;
    QToolButton *m_btnFindPrev = nullptr;
    QToolButton *m_btnFindNext = nullptr;
    QCheckBox *m_chbFindCase = nullptr;
    QLabel *m_lblFindCount = nullptr;
    QToolButton *m_btnFindClose = nullptr;
    QAction *m_actFindClose = nullptr;
    QTextCursor m_current;
    QTimer m_stepTimer;
    QTimer m_refreshTimer;
    qint64 m_longestWorkNs = 0;
};

} // namespace m845
