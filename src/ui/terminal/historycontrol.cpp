#include "ui/terminal/historycontrol.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/terminal/sendpane.h"

namespace m845 {

namespace {

using detail::Lang;

constexpr int kMenuTextChars = 60;

// One line of the drop-down: line breaks shown, long texts cut, hex entries marked.
QString MenuText(const TSentText &entry)
{
    QString text = QString::fromStdString(entry.text);
    text.replace(QLatin1Char('\n'), QChar(0x23CE));
    if (text.size() > kMenuTextChars)
        text = text.left(kMenuTextChars - 1) + QChar(0x2026);
    if (entry.hex)
        text = QStringLiteral("[Hex] ") + text;
    return LiteralCaption(text);
}

} // namespace

THistoryControl::THistoryControl(TSendPane &pane)
    : QObject(&pane)
    , m_pane(pane)
    , m_box(pane.SendBox())
{
    m_btnHistory = MakeDropDownButton(QStringLiteral("btnHistory"), &pane);
    m_pmHistory = new QMenu(m_btnHistory);
    m_pmHistory->setObjectName(QStringLiteral("pmHistory"));
    m_btnHistory->setMenu(m_pmHistory);
    pane.AddBesideSendButton(m_btnHistory);
    connect(m_pmHistory, &QMenu::aboutToShow, this, &THistoryControl::FillMenu);

    connect(&pane, &TSendPane::TextSent, this, [this](const QString &text, bool hex) {
        static_cast<void>(m_history.Add({text.toStdString(), hex}));
    });
    // Typing after a step starts a new draft: the next Ctrl+Up keeps what was typed.
    connect(pane.SendBox(), &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_history.ResetBrowsing();
    });
    pane.SendBox()->installEventFilter(this);
}

void THistoryControl::SetHistory(TCommandHistory history)
{
    m_history = std::move(history);
}

bool THistoryControl::eventFilter(QObject *watched, QEvent *event)
{
    // Only Ctrl with the arrows: the plain arrows keep moving the caret in the box's lines.
    if (watched != m_box || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    if (key->key() == Qt::Key_Up) {
        StepOlder();
        return true;
    }
    if (key->key() == Qt::Key_Down) {
        StepNewer();
        return true;
    }
    return false;
}

void THistoryControl::StepOlder()
{
    const TSentText current{m_pane.SendBox()->toPlainText().toStdString(), m_pane.TxHex()};
    if (const auto entry = m_history.Older(current))
        Show(*entry);
}

void THistoryControl::StepNewer()
{
    if (const auto entry = m_history.Newer())
        Show(*entry);
}

void THistoryControl::Recall(std::size_t index)
{
    if (index >= m_history.Entries().size())
        return;
    const TSentText entry = m_history.Entries()[index];
    m_history.ResetBrowsing();
    Show(entry);
    m_pane.SendBox()->setFocus();
}

void THistoryControl::Show(const TSentText &entry)
{
    m_showing = true;
    m_pane.ShowEntry(QString::fromStdString(entry.text), entry.hex);
    m_showing = false;
}

void THistoryControl::FillMenu()
{
    m_pmHistory->clear();
    const std::vector<TSentText> &entries = m_history.Entries();
    if (entries.empty())
        m_pmHistory->addAction(Lang("lang_mniHistoryEmpty"))->setEnabled(false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QAction *item = m_pmHistory->addAction(MenuText(entries[i]));
        item->setToolTip(QString::fromStdString(entries[i].text));
        connect(item, &QAction::triggered, this, [this, i] { Recall(i); });
    }
    m_pmHistory->addSeparator();
    QAction *clear = m_pmHistory->addAction(Lang("lang_mniHistoryClear"));
    clear->setObjectName(QStringLiteral("mniHistoryClear"));
    clear->setEnabled(!entries.empty());
    connect(clear, &QAction::triggered, this, [this] { m_history.Clear(); });
}

void THistoryControl::ApplyTexts()
{
    SetCaptionByKey(m_btnHistory, "lang_btnHistory");
    SetHintByKey(m_btnHistory, "hint_btnHistory");
}

} // namespace m845
