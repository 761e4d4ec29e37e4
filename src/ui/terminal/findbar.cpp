#include "ui/terminal/findbar.h"

#include <algorithm>

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QToolButton>

#include "lang/langlist.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/terminal/sendpane.h"

namespace m845 {

namespace {

using detail::Lang;

// A slice of counting per turn of the event loop: typing stays well under a frame (16 ms).
constexpr qint64 kSliceNs = 4'000'000;
// The count and highlight follow a stream of new entries at this pace, not at every one.
constexpr int kRefreshMs = 30;

QToolButton *MakeButton(const char *name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    return button;
}

// Keeps the longest time one turn of the bar's work took.
class TWorkClock final
{
public:
    explicit TWorkClock(qint64 &longest)
        : m_longest(longest)
    {
        m_clock.start();
    }
    ~TWorkClock() { m_longest = std::max(m_longest, m_clock.nsecsElapsed()); }
    TWorkClock(const TWorkClock &) = delete;
    TWorkClock &operator=(const TWorkClock &) = delete;

private:
    qint64 &m_longest;
    QElapsedTimer m_clock;
};

QAction *MakeAction(const char *name, const QKeySequence &keys, QWidget *window)
{
    auto *action = new QAction(window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    window->addAction(action);
    return action;
}

} // namespace

TFindBar::TFindBar(QPlainTextEdit &box, QWidget *window)
    : QWidget(box.parentWidget())
    , m_box(box)
    , m_search(*box.document(), this)
{
    setObjectName(QStringLiteral("pnlFind"));
    auto *bar = new QHBoxLayout(this);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(4);
    m_edtFind = new QLineEdit(this);
    m_edtFind->setObjectName(QStringLiteral("edtFind"));
    m_edtFind->setMinimumWidth(180);
    TSendPane::KeepOwnKeys(m_edtFind);
    m_btnFindPrev = MakeButton("btnFindPrev", this);
    m_btnFindNext = MakeButton("btnFindNext", this);
    m_chbFindCase = new QCheckBox(this);
    m_chbFindCase->setObjectName(QStringLiteral("chbFindCase"));
    m_lblFindCount = new QLabel(this);
    m_lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    m_btnFindClose = MakeButton("btnFindClose", this);
    bar->addWidget(m_edtFind, 1);
    bar->addWidget(m_btnFindPrev);
    bar->addWidget(m_btnFindNext);
    bar->addWidget(m_chbFindCase);
    bar->addWidget(m_lblFindCount, 1);
    bar->addWidget(m_btnFindClose);
    if (auto *layout = qobject_cast<QBoxLayout *>(parentWidget()->layout()))
        layout->insertWidget(layout->indexOf(&box), this);
    hide();

    connect(MakeAction("actFind", QKeySequence(Qt::CTRL | Qt::Key_F), window), &QAction::triggered,
            this, &TFindBar::Open);
    connect(MakeAction("actFindNext", QKeySequence(Qt::Key_F3), window), &QAction::triggered, this,
            &TFindBar::FindNext);
    connect(MakeAction("actFindPrev", QKeySequence(Qt::SHIFT | Qt::Key_F3), window),
            &QAction::triggered, this, &TFindBar::FindPrevious);
    m_actFindClose = MakeAction("actFindClose", QKeySequence(Qt::Key_Escape), window);
    m_actFindClose->setEnabled(false);
    connect(m_actFindClose, &QAction::triggered, this, &TFindBar::Close);

    connect(m_edtFind, &QLineEdit::textChanged, this, [this] { Restart(); });
    connect(m_chbFindCase, &QCheckBox::toggled, this, [this] { Restart(); });
    connect(m_btnFindNext, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(m_btnFindPrev, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(m_btnFindClose, &QToolButton::clicked, this, &TFindBar::Close);
    m_edtFind->installEventFilter(this);

    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(0);
    connect(&m_stepTimer, &QTimer::timeout, this, &TFindBar::StepCount);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &TFindBar::Refresh);
    connect(&m_search, &TLogSearch::Changed, this, [this] {
        ScheduleRefresh();
        if (!m_search.Counted() && !m_stepTimer.isActive())
            m_stepTimer.start();
    });
    connect(&m_search, &TLogSearch::FirstFound, this, &TFindBar::Show);
    connect(m_box.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (isVisible())
            Refresh();
    });
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edtFind || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (key->modifiers() & Qt::ShiftModifier)
            FindPrevious();
        else
            FindNext();
        return true;
    case Qt::Key_Escape:
        Close();
        return true;
    default:
        return false;
    }
}

void TFindBar::Open()
{
    // One line of a selection is what a technician means to find; more is a copy gone wrong.
    const QString selected = m_box.textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_edtFind->setText(selected);
    const bool wasHidden = isHidden();
    // The pictures come from the icon theme, look-ups that held up the first window by 9 ms:
    // the bar gets them when it is first wanted.
    if (!m_edtFind->isClearButtonEnabled()) {
        m_edtFind->setClearButtonEnabled(true);
        m_btnFindPrev->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
        m_btnFindNext->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
        m_btnFindClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    }
    show();
    m_actFindClose->setEnabled(true);
    m_edtFind->setFocus();
    m_edtFind->selectAll();
    if (wasHidden)
        Restart();
}

void TFindBar::Close()
{
    if (isHidden())
        return;
    hide();
    m_actFindClose->setEnabled(false);
    m_stepTimer.stop();
    m_refreshTimer.stop();
    m_search.Stop();
    m_current = QTextCursor();
    m_box.setExtraSelections({});
    if (HoldView)
        HoldView(false);
    m_box.verticalScrollBar()->setValue(m_box.verticalScrollBar()->maximum());
    m_box.setFocus();
}

void TFindBar::SetText(const QString &text)
{
    m_edtFind->setText(text);
}

void TFindBar::SetMatchCase(bool on)
{
    m_chbFindCase->setChecked(on);
}

int TFindBar::CurrentOrCaret() const
{
    if (const TLogMatch current = Current(); current.Valid())
        return current.position;
    return m_box.textCursor().selectionStart();
}

void TFindBar::Restart()
{
    const TWorkClock work(m_longestWorkNs);
    if (isHidden())
        return;
    // From the match shown, else from the top of the view: typing refines what is in sight.
    const int from
        = Current().Valid() ? Current().position : m_box.cursorForPosition(QPoint(0, 0)).position();
    m_current = QTextCursor();
    m_search.Start(m_edtFind->text(),
                   m_chbFindCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive, from);
    if (HoldView)
        HoldView(false);
    StepCount();
}

void TFindBar::StepCount()
{
    const TWorkClock work(m_longestWorkNs);
    if (!m_search.Step(kSliceNs))
        m_stepTimer.start();
    ScheduleRefresh();
}

void TFindBar::FinishCount()
{
    while (!m_search.Step(kSliceNs)) {
    }
    m_stepTimer.stop();
    Refresh();
}

void TFindBar::FindNext()
{
    const TWorkClock work(m_longestWorkNs);
    if (isHidden()) {
        Open();
        return;
    }
    Show(m_search.Next(CurrentOrCaret()));
}

void TFindBar::FindPrevious()
{
    const TWorkClock work(m_longestWorkNs);
    if (isHidden()) {
        Open();
        return;
    }
    Show(m_search.Previous(CurrentOrCaret()));
}

void TFindBar::Show(const TLogMatch &match)
{
    if (!match.Valid()) {
        ScheduleRefresh();
        return;
    }
    m_current = QTextCursor(m_box.document());
    m_current.setPosition(match.position);
    m_current.setPosition(match.position + match.length, QTextCursor::KeepAnchor);
    if (HoldView)
        HoldView(true);
    m_box.setTextCursor(m_current);
    m_box.ensureCursorVisible();
    Refresh();
}

TLogMatch TFindBar::Current() const
{
    // A match that went with its line (the log's limit, a clear) is none any more.
    if (m_current.isNull() || !m_current.hasSelection())
        return {};
    const Qt::CaseSensitivity cs
        = m_chbFindCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (m_current.selectedText().compare(m_search.Text(), cs) != 0)
        return {};
    return {m_current.selectionStart(), m_current.selectionEnd() - m_current.selectionStart()};
}

QString TFindBar::CountText() const
{
    if (!m_search.Active())
        return {};
    const std::string count = std::to_string(m_search.Count());
    if (!m_search.Counted())
        return QString::fromStdString(LangFormat("info_FindCounting", {count}));
    if (m_search.Count() == 0)
        return Lang("info_FindNone");
    if (const int ordinal = m_search.Ordinal(Current()); ordinal > 0)
        return QString::fromStdString(
            LangFormat("info_FindCount", {std::to_string(ordinal), count}));
    return QString::fromStdString(LangFormat("info_FindMatches", {count}));
}

void TFindBar::ScheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void TFindBar::Refresh()
{
    const TWorkClock work(m_longestWorkNs);
    m_refreshTimer.stop();
    if (isHidden())
        return;
    const bool none = m_search.Active() && m_search.Counted() && m_search.Count() == 0;
    m_edtFind->setStyleSheet(none ? QStringLiteral("QLineEdit { background: #ffd0d0; }")
                                  : QString());
    m_lblFindCount->setText(CountText());
    // Only the lines in view are marked: the rest cannot be seen, and thousands of marks
    // would slow every paint of the log.
    const QRect view = m_box.viewport()->rect();
    const int first = m_box.cursorForPosition(view.topLeft()).blockNumber();
    const int last = m_box.cursorForPosition(view.bottomRight()).blockNumber();
    QTextCharFormat every;
    every.setBackground(QColor(255, 255, 0));
    QTextCharFormat shown;
    shown.setBackground(QColor(255, 150, 50));
    const TLogMatch current = Current();
    QList<QTextEdit::ExtraSelection> marks;
    for (const TLogMatch &match : m_search.MatchesIn(first, last)) {
        QTextCursor cursor(m_box.document());
        cursor.setPosition(match.position);
        cursor.setPosition(match.position + match.length, QTextCursor::KeepAnchor);
        marks.push_back({cursor, match.position == current.position ? shown : every});
    }
    m_box.setExtraSelections(marks);
}

void TFindBar::ApplyTexts()
{
    const QString name = Lang("lang_FindName");
    setAccessibleName(name);
    m_edtFind->setAccessibleName(name);
    m_edtFind->setPlaceholderText(name);
    m_btnFindPrev->setToolTip(Lang("lang_FindPrev") + QStringLiteral(" (Shift+F3)"));
    m_btnFindPrev->setAccessibleName(Lang("lang_FindPrev"));
    m_btnFindNext->setToolTip(Lang("lang_FindNext") + QStringLiteral(" (F3)"));
    m_btnFindNext->setAccessibleName(Lang("lang_FindNext"));
    SetCaptionByKey(m_chbFindCase, "lang_FindCase");
    m_btnFindClose->setToolTip(Lang("lang_FindClose") + QStringLiteral(" (Esc)"));
    m_btnFindClose->setAccessibleName(Lang("lang_FindClose"));
    m_lblFindCount->setText(CountText());
}

} // namespace m845
