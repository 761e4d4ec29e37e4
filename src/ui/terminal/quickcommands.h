#pragma once

// Quick commands: a row of the technician's named commands below the send bar, each sent with
// one click or Alt+1 to Alt+9 through the send action, and a small editor for the list.

#include <functional>
#include <vector>

#include <QDialog>
#include <QWidget>

#include "ui/terminal/terminallists.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolBar;
class QToolButton;

namespace m845 {

class TSendPane;

// Add, edit, reorder and delete; OK keeps the list only when every command can be sent.
class TQuickCommandEditor final : public QDialog
{
    Q_OBJECT
public:
    explicit TQuickCommandEditor(std::vector<TQuickCommand> commands, QWidget *parent = nullptr);

    [[nodiscard]] const std::vector<TQuickCommand> &Commands() const { return m_commands; }
    void Add();
    void Delete();
    void Move(int step);
    void accept() override;

private:
    void ShowCurrent();
    void EditCurrent();
    void HexClicked();
    void ShowProblem(int row, std::string_view key);
    void UpdateButtons();
    [[nodiscard]] QString ItemText(const TQuickCommand &command) const;

    std::vector<TQuickCommand> m_commands;
    QListWidget *m_list = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_hex = nullptr;
    QCheckBox *m_crlf = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
    QLabel *m_problem = nullptr;
    bool m_showing = false;
};

class TQuickCommandBar final : public QWidget
{
    Q_OBJECT
public:
    // The bar goes below the send pane's bars; its keys act in the whole window.
    TQuickCommandBar(TSendPane &pane, QWidget *window);

    void SetCommands(std::vector<TQuickCommand> commands);
    [[nodiscard]] const std::vector<TQuickCommand> &Commands() const { return m_commands; }
    // The command at index (0 is Alt+1), as its button does.
    void Send(std::size_t index);
    // Opens the editor and takes its list when accepted.
    void Edit();
    // Shows the editor and says whether it was accepted; tests fill it in instead.
    std::function<bool(TQuickCommandEditor &editor)> RunEditor;

    void ApplyTexts();

signals:
    // The technician accepted the editor.
    void Edited();

private:
    void Rebuild();

    TSendPane &m_pane;
    QWidget *m_window = nullptr;
    std::vector<TQuickCommand> m_commands;
    QLabel *m_lblQuick = nullptr;
    QToolBar *m_row = nullptr;
    QToolButton *m_btnQuickEdit = nullptr;
    std::vector<QAction *> m_actions;
};

} // namespace m845
