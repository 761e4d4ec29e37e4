#include "ui/terminal/logpane.h"

#include <algorithm>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
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

QPlainTextEdit *MakeLogBox(const QString &name, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
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

// A CR LF (or a lone CR or LF) starts a further line, as in the device's own text.
QString NormaliseBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

QString WireToDisplay(std::string_view data)
{
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
    m_lblReCount = new QLabel(QStringLiteral("0"), rzRecive);
    m_lblReCount->setObjectName(QStringLiteral("lblReCount"));
    // The counter takes the width the bar leaves, so the button ends at the right edge.
    m_lblReCount->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_btnResetCount = new QPushButton(rzRecive);
    m_btnResetCount->setObjectName(QStringLiteral("btnResetCount"));
    bar->addWidget(m_chbTime);
    bar->addWidget(m_chbRxHex);
    bar->addSpacing(8);
    bar->addWidget(m_lblRe);
    bar->addWidget(m_lblReCount);
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
    std::string shownBytes;
    QString shown;
    if (hex) {
        shownBytes = TextToSpacedHex(data);
        shown = QString::fromLatin1(shownBytes.data(), static_cast<qsizetype>(shownBytes.size()));
    } else {
        shownBytes = std::string(data);
        shown = WireToDisplay(data);
    }
    emit EntryWritten(kind, shown);
    if (HideFromDisplay && HideFromDisplay(kind, data))
        return;
    Queue(kind, header + shown, header.toStdString() + shownBytes);
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
    Queue(TLogKind::Info, Utf8(text), std::string(text));
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
    Queue(TLogKind::Warn, header + shown, header.toStdString() + std::move(wire));
}

void TLogPane::Queue(TLogKind kind, QString text, std::string bytes)
{
    m_pending.push_back(TEntry{kind, NormaliseBreaks(std::move(text)),
                               m_hexMirror ? std::move(bytes) : std::string()});
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, [this] { Flush(); });
    }
}

void TLogPane::AppendTo(QPlainTextEdit *box, const QString &text, const QColor &colour)
{
    QTextDocument *doc = box->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colour);
    if (!doc->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(text, format);
    if (doc->blockCount() >= m_lineLimit)
        doc->clear();
}

void TLogPane::Flush()
{
    QElapsedTimer clock;
    clock.start();
    m_flushQueued = false;
    if (!m_pending.empty()) {
        std::vector<TEntry> entries;
        entries.swap(m_pending);
        for (const TEntry &entry : entries) {
            const QColor colour = Colour(entry.kind);
            AppendTo(m_edtDialog, entry.text, colour);
            if (m_hexMirror) {
                const std::string hex = TextToHex(entry.bytes, " ");
                AppendTo(m_edtDialogHex,
                         QString::fromLatin1(hex.data(), static_cast<qsizetype>(hex.size())),
                         colour);
            }
        }
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
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, [this] { Flush(); });
    }
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
