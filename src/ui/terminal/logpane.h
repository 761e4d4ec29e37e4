#pragma once

// The communication log: coloured entries with optional time headers and hex display,
// an optional hex mirror, the byte counters and the receive tool bar above it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QColor>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "core/log.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace m845 {

// Which writer made an entry; the pane picks colour and header from it.
enum class TLogKind : std::uint8_t { Rx, RxOther, Tx, Info, Warn };

// A log line limit: a box reaching it is emptied.
inline constexpr int kLogLineLimit = 65535;

class TLogPane final : public QWidget, public ILog
{
    Q_OBJECT
public:
    explicit TLogPane(QWidget *parent = nullptr);

    void LogRx(std::string_view data) override;
    void LogRxOther(std::string_view data) override;
    void LogTx(std::string_view data) override;
    void LogInfo(std::string_view text) override;
    void LogWarn(std::string_view text) override;

    void CountRx(std::uint32_t count);
    void CountTx(std::uint32_t count);
    [[nodiscard]] std::uint32_t RxCount() const { return m_rxCount; }
    [[nodiscard]] std::uint32_t TxCount() const { return m_txCount; }
    void btnResetClick();
    // The sent-bytes label lives in the send tool bar.
    void SetTxCountLabel(QLabel *label);

    // The hex-mirror flag: the twin box is shown and written only while it is set.
    void SetHexMirror(bool on);
    [[nodiscard]] bool HexMirror() const { return m_hexMirror; }

    // Appends everything queued now (appends are otherwise made at most once per frame, and a
    // few times a second while each frame brings more lines than the log shows).
    void Flush();
    // The longest Flush so far, for the benchmark to tell the log's share of a stall.
    [[nodiscard]] qint64 LongestFlushNs() const { return m_longestFlushNs; }
    // While held (a found match is shown), new entries do not scroll the log to its end.
    void HoldScroll(bool hold) { m_holdScroll = hold; }
    // Lowers the line limit so tests reach it quickly.
    void SetLineLimitForTest(int limit) { m_lineLimit = limit; }

    void ApplyCaptions();

    // Entries it says yes to are recorded (EntryWritten) and counted but not shown: the
    // signal monitor's traffic. The wire bytes, or the text of an information or warning line.
    std::function<bool(TLogKind kind, std::string_view data)> HideFromDisplay;

    [[nodiscard]] QPlainTextEdit *Dialog() const { return m_edtDialog; }
    [[nodiscard]] QPlainTextEdit *DialogHex() const { return m_edtDialogHex; }
    [[nodiscard]] QProgressBar *ProgressBar() const { return m_rzpbWhile; }

signals:
    // Every entry as it is written, before the display may drop it at its line limit: the
    // shown text without the time header.
    void EntryWritten(m845::TLogKind kind, const QString &text);

private:
    struct TEntry
    {
        TLogKind kind = TLogKind::Info;
        QString text;
        std::string bytes;     // what the hex mirror renders
        bool mirrored = false; // written while the hex mirror was on
    };

    void AddData(TLogKind kind, std::string_view data);
    void Queue(TLogKind kind, QString text, std::string mirrored);
    void ScheduleFlush();
    [[nodiscard]] QString Header(TLogKind kind, bool hex) const;
    [[nodiscard]] QColor Colour(TLogKind kind) const;
    // Returns the lines the entries brought, also those a clear at the limit took away again.
    int AppendEntries(QPlainTextEdit *box, const std::vector<TEntry> &entries, bool mirror);
    void ShowCounts();

    QPlainTextEdit *m_edtDialog = nullptr;
    QPlainTextEdit *m_edtDialogHex = nullptr;
    QProgressBar *m_rzpbWhile = nullptr;
    QCheckBox *m_chbTime = nullptr;
    QCheckBox *m_chbRxHex = nullptr;
    QLabel *m_lblRe = nullptr;
    QLabel *m_lblReCount = nullptr;
    QLabel *m_lblSendCount = nullptr;
    QPushButton *m_btnResetCount = nullptr;

    std::vector<TEntry> m_pending;
    QTimer m_flushTimer;
    bool m_flushQueued = false;
    bool m_jumpScroll = false;  // the last frame brought more than the log shows
    QElapsedTimer m_sinceFlush; // since the last flush; invalid before the first
    bool m_hexMirror = false;
    bool m_holdScroll = false;
    int m_lineLimit = kLogLineLimit;
    std::uint32_t m_rxCount = 0;
    std::uint32_t m_txCount = 0;
    qint64 m_longestFlushNs = 0;
};

// Received bytes as display text: GBK decoded, a NUL shown as U+2400 so it hides nothing.
[[nodiscard]] QString WireToDisplay(std::string_view data);

} // namespace m845
