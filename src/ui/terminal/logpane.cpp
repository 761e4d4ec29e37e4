#include "ui/terminal/logpane.h"

#include <algorithm>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "lang/langlist.h"
#include "support/conversions.h"
#include "support/encoding.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"

namespace m845 {

namespace {

// A new frame of the log at most this often; a stream then costs one layout and one paint per
// frame, however many blocks it brings.
constexpr qint64 kFrameNs = 16'000'000;
// While every frame brings more lines than the box shows, nobody reads them scroll by: the log
// then jumps a few times a second instead of redrawing at every frame (xterm's jump scroll).
constexpr qint64 kJumpFrameNs = 200'000'000;

QPlainTextEdit *MakeLogBox(const QString &name, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
    // Terminal text needs no ligatures or kerning: shaping was most of a streaming log's cost.
    font.setStyleStrategy(QFont::PreferNoShaping);
    box->setFont(font);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->document()->setUndoRedoEnabled(false);
    return box;
}

QString Utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A CR LF (or a lone CR or LF) starts a further line, as in the device's own text. Every other
// character that the text box would turn into a new line becomes an LF as well, so that counting
// LFs counts the lines an entry adds.
QString NormaliseBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const char16_t c : {u'\r', u'\u2029', u'\uFDD0', u'\uFDD1'})
        text.replace(QChar(c), QLatin1Char('\n'));
    return text;
}

// Holds the received-bytes label outside any layout: a new count then repaints the label alone
// instead of laying out the whole window again at every frame of a stream.
class TCounterSlot final : public QWidget
{
public:
    TCounterSlot(QLabel *label, QWidget *parent)
        : QWidget(parent)
        , m_label(label)
    {
        label->setParent(this);
        // The slot takes the width the bar leaves, so the button after it ends at the right edge.
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    [[nodiscard]] QSize sizeHint() const override
    {
        // Room for the largest count, so the bar's layout never depends on the count.
        return {m_label->fontMetrics().horizontalAdvance(QStringLiteral("4294967295")),
                m_label->sizeHint().height()};
    }
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        m_label->setGeometry(QRect(QPoint(0, 0), event->size()));
    }

private:
    QLabel *m_label;
};

} // namespace

QString WireToDisplay(std::string_view data)
{
    // Plain ASCII reads the same in GBK: most device text needs no converter.
    if (std::all_of(data.begin(), data.end(),
                    [](char c) { return static_cast<unsigned char>(c) - 1U < 0x7FU; }))
        return QString::fromLatin1(data.data(), static_cast<qsizetype>(data.size()));
    QString shown;
    while (true) {
        const auto nul = data.find('\0');
        shown += Utf8(GbkToUtf8(data.substr(0, nul)));
        if (nul == std::string_view::npos)
            break;
        shown += QChar(0x2400);
        data.remove_prefix(nul + 1);
    }
    return shown;
}

TLogPane::TLogPane(QWidget *parent)
    : QWidget(parent)
{
    // Opaque: a repaint of the counter or the scroll bar stops here instead of redrawing the
    // group box around the pane.
    setAutoFillBackground(true);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { Flush(); });
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *rzRecive = new QWidget(this);
    rzRecive->setObjectName(QStringLiteral("rzRecive"));
    rzRecive->setFixedHeight(29);
    auto *bar = new QHBoxLayout(rzRecive);
    bar->setContentsMargins(4, 0, 4, 0);
    m_chbTime = new QCheckBox(rzRecive);
    m_chbTime->setObjectName(QStringLiteral("chbTime"));
    m_chbRxHex = new QCheckBox(QStringLiteral("Hex"), rzRecive);
    m_chbRxHex->setObjectName(QStringLiteral("chbRxHex"));
    m_lblRe = new QLabel(rzRecive);
    m_lblRe->setObjectName(QStringLiteral("lblRe"));
    m_lblReCount = new QLabel(QStringLiteral("0"));
    m_lblReCount->setObjectName(QStringLiteral("lblReCount"));
    auto *counterSlot = new TCounterSlot(m_lblReCount, rzRecive);
    m_btnResetCount = new QPushButton(rzRecive);
    m_btnResetCount->setObjectName(QStringLiteral("btnResetCount"));
    bar->addWidget(m_chbTime);
    bar->addWidget(m_chbRxHex);
    bar->addSpacing(8);
    bar->addWidget(m_lblRe);
    bar->addWidget(counterSlot);
    bar->addWidget(m_btnResetCount);
    outer->addWidget(rzRecive);

    auto *pnlDialog = new QWidget(this);
    pnlDialog->setObjectName(QStringLiteral("pnlDialog"));
    auto *dialogLayout = new QVBoxLayout(pnlDialog);
    dialogLayout->setContentsMargins(0, 0, 0, 0);
    dialogLayout->setSpacing(2);
    m_edtDialogHex = MakeLogBox(QStringLiteral("edtDialogHex"), pnlDialog);
    m_edtDialogHex->setFixedHeight(145);
    m_edtDialogHex->hide();
    m_edtDialog = MakeLogBox(QStringLiteral("edtDialog"), pnlDialog);
    m_rzpbWhile = new QProgressBar(pnlDialog);
    m_rzpbWhile->setObjectName(QStringLiteral("rzpbWhile"));
    m_rzpbWhile->setFixedHeight(20);
    m_rzpbWhile->hide();
    dialogLayout->addWidget(m_edtDialogHex);
    dialogLayout->addWidget(m_edtDialog, 1);
    dialogLayout->addWidget(m_rzpbWhile);
    outer->addWidget(pnlDialog, 1);

    connect(m_btnResetCount, &QPushButton::clicked, this, [this] { btnResetClick(); });
}

void TLogPane::ApplyCaptions()
{
    SetCaptionByKey(m_chbTime, "lang_chbTime");
    SetCaptionByKey(m_lblRe, "lang_lblRxHex");
    SetCaptionByKey(m_btnResetCount, "lang_btnResetCount");
    m_edtDialog->setAccessibleName(detail::Lang("lang_edtDialog"));
    m_edtDialogHex->setAccessibleName(detail::Lang("lang_edtDialogHex"));
}

void TLogPane::SetTxCountLabel(QLabel *label)
{
    m_lblSendCount = label;
    ShowCounts();
}

void TLogPane::SetHexMirror(bool on)
{
    m_hexMirror = on;
    m_edtDialogHex->setVisible(on);
}

QString TLogPane::Header(TLogKind kind, bool hex) const
{
    if (!m_chbTime->isChecked() || kind == TLogKind::Info)
        return {};
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    switch (kind) {
    case TLogKind::Rx:
    case TLogKind::RxOther:
        return QStringLiteral(">[Rx<-][") + time
               + (hex ? QStringLiteral("][Hex]\r\n") : QStringLiteral("][asc]\r\n"));
    case TLogKind::Tx:
        return QStringLiteral(">[Tx->][") + time
               + (hex ? QStringLiteral("][Hex]\r\n") : QStringLiteral("][asc]\r\n"));
    case TLogKind::Warn:
        return QStringLiteral(">[Warn][") + time + QStringLiteral("]\r\n");
    case TLogKind::Info:
        break;
    }
    return {};
}

QColor TLogPane::Colour(TLogKind kind) const
{
    switch (kind) {
    case TLogKind::Rx:
        return {0, 128, 0};
    case TLogKind::Tx:
        return {0, 0, 255};
    case TLogKind::Warn:
        return {255, 0, 0};
    case TLogKind::RxOther:
    case TLogKind::Info:
        break;
    }
    return m_edtDialog->palette().color(QPalette::Text);
}

void TLogPane::AddData(TLogKind kind, std::string_view data)
{
    const bool hex = m_chbRxHex->isChecked();
    const QString header = Header(kind, hex);
    QString shown;
    std::string mirrored;
    if (hex) {
        std::string spaced = TextToSpacedHex(data);
        shown = QString::fromLatin1(spaced.data(), static_cast<qsizetype>(spaced.size()));
        if (m_hexMirror)
            mirrored = header.toStdString() + spaced;
    } else {
        shown = WireToDisplay(data);
        if (m_hexMirror)
            mirrored = header.toStdString().append(data);
    }
    emit EntryWritten(kind, shown);
    if (HideFromDisplay && HideFromDisplay(kind, data))
        return;
    Queue(kind, header + shown, std::move(mirrored));
}

void TLogPane::LogRx(std::string_view data)
{
    CountRx(static_cast<std::uint32_t>(data.size()));
    AddData(TLogKind::Rx, data);
}

void TLogPane::LogRxOther(std::string_view data)
{
    CountRx(static_cast<std::uint32_t>(data.size()));
    AddData(TLogKind::RxOther, data);
}

void TLogPane::LogTx(std::string_view data)
{
    AddData(TLogKind::Tx, data);
}

void TLogPane::LogInfo(std::string_view text)
{
    emit EntryWritten(TLogKind::Info, Utf8(text));
    if (HideFromDisplay && HideFromDisplay(TLogKind::Info, text))
        return;
    Queue(TLogKind::Info, Utf8(text), m_hexMirror ? std::string(text) : std::string());
}

void TLogPane::LogWarn(std::string_view text)
{
    const QString header = Header(TLogKind::Warn, false);
    // Counted and mirrored as the device's bytes, like every other received entry.
    std::string wire = Utf8ToGbk(text);
    CountRx(static_cast<std::uint32_t>(wire.size()));
    QString shown = Utf8(text);
    shown.replace(QChar(0), QChar(0x2400));
    emit EntryWritten(TLogKind::Warn, shown);
    if (HideFromDisplay && HideFromDisplay(TLogKind::Warn, text))
        return;
    Queue(TLogKind::Warn, header + shown,
          m_hexMirror ? header.toStdString() + std::move(wire) : std::string());
}

void TLogPane::Queue(TLogKind kind, QString text, std::string mirrored)
{
    m_pending.push_back(
        TEntry{kind, NormaliseBreaks(std::move(text)), std::move(mirrored), m_hexMirror});
    ScheduleFlush();
}

void TLogPane::ScheduleFlush()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    const qint64 frame = m_jumpScroll ? kJumpFrameNs : kFrameNs;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.nsecsElapsed() : frame;
    if (since >= frame) {
        // Still in this turn of the event loop, after the events already waiting: the block
        // that brought the entry, its repaint and the flush cost one wake-up together.
        QMetaObject::invokeMethod(this, &TLogPane::Flush, Qt::QueuedConnection);
    } else {
        m_flushTimer.start(static_cast<int>((frame - since + 999'999) / 1'000'000));
    }
}

int TLogPane::AppendEntries(QPlainTextEdit *box, const std::vector<TEntry> &entries, bool mirror)
{
    // The entries go in as few insertions as their colours allow, in one edit, so the box lays
    // out and reports its new size once. The line limit is applied per entry by counting, as
    // if each had been appended alone: only what follows the last clear is inserted.
    struct TRun
    {
        QColor colour;
        QString text;
    };
    std::vector<TRun> runs;
    QTextDocument *doc = box->document();
    int lines = doc->blockCount();
    int added = 0;
    bool empty = doc->isEmpty();
    bool clear = false;
    for (const TEntry &entry : entries) {
        if (mirror && !entry.mirrored)
            continue;
        QString text;
        if (mirror) {
            const std::string hex = TextToHex(entry.bytes, " ");
            text = QString::fromLatin1(hex.data(), static_cast<qsizetype>(hex.size()));
        } else {
            text = entry.text;
        }
        const QColor colour = Colour(entry.kind);
        const bool newLine = !empty;
        const int entryLines = (newLine ? 1 : 0) + static_cast<int>(text.count(QLatin1Char('\n')));
        lines += entryLines;
        added += entryLines;
        empty = empty && text.isEmpty();
        if (lines >= m_lineLimit) {
            // The entry that reaches the limit goes with everything before it.
            runs.clear();
            clear = true;
            lines = 1;
            empty = true;
            continue;
        }
        if (runs.empty() || runs.back().colour != colour)
            runs.push_back(TRun{colour, QString()});
        if (newLine)
            runs.back().text += QLatin1Char('\n');
        runs.back().text += text;
    }
    if (clear)
        doc->clear();
    if (runs.empty())
        return added;
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const TRun &run : runs) {
        QTextCharFormat format;
        format.setForeground(run.colour);
        cursor.insertText(run.text, format);
    }
    cursor.endEditBlock();
    return added;
}

void TLogPane::Flush()
{
    QElapsedTimer clock;
    clock.start();
    m_flushTimer.stop();
    m_flushQueued = false;
    m_sinceFlush.start();
    if (!m_pending.empty()) {
        std::vector<TEntry> entries;
        entries.swap(m_pending);
        const int added = AppendEntries(m_edtDialog, entries, false);
        const int shown = m_edtDialog->viewport()->height()
                          / std::max(1, m_edtDialog->fontMetrics().lineSpacing());
        m_jumpScroll = added > shown;
        AppendEntries(m_edtDialogHex, entries, true);
        for (QPlainTextEdit *box : {m_edtDialog, m_edtDialogHex}) {
            if ((box->isVisible() || box == m_edtDialog) && !(box == m_edtDialog && m_holdScroll))
                box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
        }
    }
    ShowCounts();
    m_longestFlushNs = std::max(m_longestFlushNs, clock.nsecsElapsed());
}

void TLogPane::CountRx(std::uint32_t count)
{
    m_rxCount += count; // unsigned: wraps at 2^32 as the counter should
    ScheduleFlush();
}

void TLogPane::CountTx(std::uint32_t count)
{
    m_txCount += count;
    ShowCounts();
}

void TLogPane::btnResetClick()
{
    m_rxCount = 0;
    m_txCount = 0;
    ShowCounts();
}

void TLogPane::ShowCounts()
{
    m_lblReCount->setText(QString::number(m_rxCount));
    if (m_lblSendCount != nullptr)
        m_lblSendCount->setText(QString::number(m_txCount));
}

} // namespace m845
