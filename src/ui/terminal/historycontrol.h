#pragma once

// The send box's command history: every sent text kept, Ctrl+Up and Ctrl+Down step through it
// in the send box, and a drop-down beside the send button lists it.

#include <QObject>

#include "ui/terminal/terminallists.h"

class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace m845 {

class TSendPane;

class THistoryControl final : public QObject
{
    Q_OBJECT
public:
    explicit THistoryControl(TSendPane &pane);

    [[nodiscard]] const TCommandHistory &History() const { return m_history; }
    void SetHistory(TCommandHistory history);
    // The entry at index (newest 0) into the send box, as the drop-down's item does.
    void Recall(std::size_t index);
    void StepOlder();
    void StepNewer();

    void ApplyTexts();
    [[nodiscard]] QToolButton *Button() const { return m_btnHistory; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FillMenu();
    void Show(const TSentText &entry);

    TSendPane &m_pane;
    // Its own pointer: the filter still sees the box's last events while the pane goes.
    QPlainTextEdit *m_box = nullptr;
    TCommandHistory m_history;
    QToolButton *m_btnHistory = nullptr;
    QMenu *m_pmHistory = nullptr;
    // Set while the box is filled from the history, so that the change ends no browsing.
    bool m_showing = false;
};

} // namespace m845
