#include "ui/terminal/quickcommands.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "support/conversions.h"
#include "support/encoding.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/terminal/sendpane.h"

namespace m845 {

namespace {

using detail::Lang;

constexpr int kKeyedCommands = 9;

QString FromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

QPushButton *MakeButton(const char *name, const char *key, QWidget *parent)
{
    auto *button = new QPushButton(Lang(key), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

TQuickCommandEditor::TQuickCommandEditor(std::vector<TQuickCommand> commands, QWidget *parent)
    : QDialog(parent)
    , m_commands(std::move(commands))
{
    setObjectName(QStringLiteral("frmQuickCommands"));
    setWindowTitle(Lang("lang_QuickEditor"));
    auto *outer = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout;
    outer->addLayout(columns);

    auto *left = new QVBoxLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstQuick"));
    m_list->setAccessibleName(Lang("lang_QuickList"));
    left->addWidget(m_list, 1);
    auto *moves = new QHBoxLayout;
    m_add = MakeButton("btnQuickAdd", "lang_QuickAdd", this);
    m_delete = MakeButton("btnQuickDelete", "lang_QuickDelete", this);
    m_up = MakeButton("btnQuickUp", "lang_QuickUp", this);
    m_down = MakeButton("btnQuickDown", "lang_QuickDown", this);
    for (QPushButton *b : {m_add, m_delete, m_up, m_down}) {
        b->setAutoDefault(false);
        moves->addWidget(b);
    }
    left->addLayout(moves);
    columns->addLayout(left, 1);

    auto *form = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("edtQuickName"));
    m_name->setMaxLength(static_cast<int>(kQuickNameLimit));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("edtQuickText"));
    m_text->setMaxLength(static_cast<int>(kEntryTextLimit));
    m_text->setMinimumWidth(260);
    m_hex = new QCheckBox(Lang("lang_QuickHex"), this);
    m_hex->setObjectName(QStringLiteral("chbQuickHex"));
    m_crlf = new QCheckBox(Lang("lang_QuickCrLf"), this);
    m_crlf->setObjectName(QStringLiteral("chbQuickCrLf"));
    auto *nameLabel = new QLabel(Lang("lang_QuickName"), this);
    auto *textLabel = new QLabel(Lang("lang_QuickText"), this);
    nameLabel->setBuddy(m_name);
    textLabel->setBuddy(m_text);
    m_name->setAccessibleName(nameLabel->text());
    m_text->setAccessibleName(textLabel->text());
    form->addRow(nameLabel, m_name);
    form->addRow(textLabel, m_text);
    form->addRow(QString(), m_hex);
    form->addRow(QString(), m_crlf);
    columns->addLayout(form, 2);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("lblQuickProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: #ff0000;"));
    outer->addWidget(m_problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    outer->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TQuickCommandEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TQuickCommandEditor::reject);

    for (const TQuickCommand &command : m_commands)
        m_list->addItem(ItemText(command));
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { ShowCurrent(); });
    connect(m_name, &QLineEdit::textEdited, this, [this] { EditCurrent(); });
    connect(m_text, &QLineEdit::textEdited, this, [this] { EditCurrent(); });
    connect(m_crlf, &QCheckBox::clicked, this, [this] { EditCurrent(); });
    connect(m_hex, &QCheckBox::clicked, this, [this] { HexClicked(); });
    connect(m_add, &QPushButton::clicked, this, [this] { Add(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { Delete(); });
    connect(m_up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { Move(1); });
    m_list->setCurrentRow(m_commands.empty() ? -1 : 0);
    ShowCurrent();
}

QString TQuickCommandEditor::ItemText(const TQuickCommand &command) const
{
    return FromStd(command.name.empty() ? command.text : command.name);
}

void TQuickCommandEditor::ShowCurrent()
{
    const int row = m_list->currentRow();
    const bool any = row >= 0;
    m_showing = true;
    const TQuickCommand shown = any ? m_commands[static_cast<std::size_t>(row)] : TQuickCommand{};
    m_name->setText(FromStd(shown.name));
    m_text->setText(FromStd(shown.text));
    m_hex->setChecked(shown.hex);
    m_crlf->setChecked(shown.crlf);
    m_showing = false;
    for (QWidget *w : std::initializer_list<QWidget *>{m_name, m_text, m_hex, m_crlf})
        w->setEnabled(any);
    UpdateButtons();
}

void TQuickCommandEditor::EditCurrent()
{
    const int row = m_list->currentRow();
    if (m_showing || row < 0)
        return;
    TQuickCommand &command = m_commands[static_cast<std::size_t>(row)];
    command.name = m_name->text().toStdString();
    command.text = m_text->text().toStdString();
    command.hex = m_hex->isChecked();
    command.crlf = m_crlf->isChecked();
    m_list->item(row)->setText(ItemText(command));
    m_problem->clear();
}

void TQuickCommandEditor::HexClicked()
{
    // As the send box's Hex box: the text turns into its hex form and back.
    const std::string bytes = Utf8ToGbk(m_text->text().toStdString());
    if (m_hex->isChecked()) {
        m_text->setText(FromStd(TextToSpacedHex(bytes)));
    } else if (std::string plain; TryHexToText(bytes, plain)) {
        m_text->setText(FromStd(GbkToUtf8(plain)));
    }
    EditCurrent();
}

void TQuickCommandEditor::Add()
{
    if (m_commands.size() >= kQuickCommandLimit)
        return;
    m_commands.push_back({});
    m_list->addItem(QString());
    m_list->setCurrentRow(static_cast<int>(m_commands.size()) - 1);
    m_name->setFocus();
}

void TQuickCommandEditor::Delete()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_commands.erase(m_commands.begin() + row);
    delete m_list->takeItem(row);
    ShowCurrent();
}

void TQuickCommandEditor::Move(int step)
{
    const int row = m_list->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= static_cast<int>(m_commands.size()))
        return;
    std::swap(m_commands[static_cast<std::size_t>(row)], m_commands[static_cast<std::size_t>(to)]);
    QListWidgetItem *item = m_list->takeItem(row);
    m_list->insertItem(to, item);
    m_list->setCurrentRow(to);
}

void TQuickCommandEditor::UpdateButtons()
{
    const int row = m_list->currentRow();
    const int count = static_cast<int>(m_commands.size());
    m_add->setEnabled(m_commands.size() < kQuickCommandLimit);
    m_delete->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < count);
}

void TQuickCommandEditor::ShowProblem(int row, std::string_view key)
{
    m_list->setCurrentRow(row);
    m_problem->setText(Lang(key));
    m_text->setFocus();
}

void TQuickCommandEditor::accept()
{
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        TQuickCommand &command = m_commands[i];
        const int row = static_cast<int>(i);
        if (command.text.empty()) {
            ShowProblem(row, "info_QuickNoText");
            return;
        }
        if (const auto fault = TextFault({command.text, command.hex})) {
            ShowProblem(row,
                        *fault == TEntryFault::NotHex ? "info_EntryNotHex" : "info_EntryTooLong");
            return;
        }
        if (command.name.empty())
            command.name = command.text;
    }
    QDialog::accept();
}

TQuickCommandBar::TQuickCommandBar(TSendPane &pane, QWidget *window)
    : QWidget(&pane)
    , m_pane(pane)
    , m_window(window)
{
    setObjectName(QStringLiteral("rztlbrQuick"));
    setFixedHeight(27);
    auto *bar = new QHBoxLayout(this);
    bar->setContentsMargins(4, 0, 4, 0);
    bar->setSpacing(2);
    m_lblQuick = new QLabel(this);
    m_lblQuick->setObjectName(QStringLiteral("lblQuick"));
    // A tool bar puts what does not fit into its extension menu.
    m_row = new QToolBar(this);
    m_row->setObjectName(QStringLiteral("tlbQuick"));
    m_row->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Framed, so that the commands read as buttons and not as labels.
    m_row->setStyleSheet(QStringLiteral("QToolButton { border: 1px solid palette(mid); "
                                        "border-radius: 2px; padding: 1px 6px; margin: 0 1px; }"
                                        "QToolButton:pressed { background: palette(midlight); }"
                                        // The extension button shows its arrows, unframed.
                                        "QToolButton#qt_toolbar_ext_button { border: none; "
                                        "padding: 0; }"));
    m_btnQuickEdit = new QToolButton(this);
    m_btnQuickEdit->setObjectName(QStringLiteral("btnQuickEdit"));
    bar->addWidget(m_lblQuick);
    bar->addWidget(m_row, 1);
    bar->addWidget(m_btnQuickEdit);
    connect(m_btnQuickEdit, &QToolButton::clicked, this, [this] { Edit(); });
    RunEditor = [](TQuickCommandEditor &editor) {
        return editor.exec() == QDialog::Accepted;
    };
    pane.AddBar(this);
}

void TQuickCommandBar::SetCommands(std::vector<TQuickCommand> commands)
{
    m_commands = std::move(commands);
    Rebuild();
}

void TQuickCommandBar::Rebuild()
{
    for (QAction *action : m_actions) {
        m_window->removeAction(action);
        delete action;
    }
    m_actions.clear();
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        QAction *action = m_row->addAction(LiteralCaption(FromStd(m_commands[i].name)));
        action->setObjectName(QStringLiteral("mniQuick%1").arg(i + 1));
        if (i < kKeyedCommands) {
            action->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + i)));
            // Also where the row has no room for the command's button.
            m_window->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, i] { Send(i); });
        m_actions.push_back(action);
    }
    ApplyTexts();
}

void TQuickCommandBar::Send(std::size_t index)
{
    if (index >= m_commands.size())
        return;
    const TQuickCommand &command = m_commands[index];
    static_cast<void>(m_pane.SendCommand(command.text, command.hex, command.crlf));
}

void TQuickCommandBar::Edit()
{
    TQuickCommandEditor editor(m_commands, m_window);
    if (RunEditor && RunEditor(editor)) {
        SetCommands(editor.Commands());
        emit Edited();
    }
}

void TQuickCommandBar::ApplyTexts()
{
    SetCaptionByKey(m_lblQuick, "lang_lblQuick");
    SetCaptionByKey(m_btnQuickEdit, "lang_btnQuickEdit");
    for (std::size_t i = 0; i < m_actions.size(); ++i) {
        const TQuickCommand &command = m_commands[i];
        QString hint = FromStd(command.text);
        if (command.hex)
            hint = QStringLiteral("[Hex] ") + hint;
        if (i < kKeyedCommands)
            hint += QStringLiteral("  (Alt+%1)").arg(i + 1);
        m_actions[i]->setToolTip(hint);
    }
}

} // namespace m845
