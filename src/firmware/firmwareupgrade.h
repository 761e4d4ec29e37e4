#pragma once

// The firmware upgrade: answers the boot loader's menu by itself and sends the chosen file by
// XModem with CRC-16, one 133-byte block per answer, with progress, elapsed time and the
// optional restart. It sees the world only through small interfaces, so every step is driven
// by hand in tests.
//
// Fast path (on by default): every write that awaits an answer tells the link its length (one
// byte after a data block, the four-byte final reply after the end byte), so the answer is
// handed over the moment it is in instead of after the silence that follows it; and what the
// answer makes due (the next block, a repetition, the first block after a start request) leaves
// in the same turn of the event loop instead of at the next tick of the block timer, which stays
// as the fallback. A block of the awaited length that is no answer may be the head of a longer
// burst (a boot menu after the device was powered up again, a run of CAN): it is kept and put in
// front of the next block, so that every burst is still judged whole. And what an ACK would make
// due is prepared as soon as a data block is out: a link that can reply by itself writes it the
// moment the ACK is in, without waiting for this thread to wake; the ACK is then taken as usual,
// and only the sending is found done. A block made ready is sent as it was read.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/receivehook.h"
#include "firmware/firmwarefile.h"

namespace m845 {

class IFirmwareWindow;
class ILink;
class ILog;
class IProgress;
class IReadInterval;
class ITimer;

enum class TXmodemState : std::uint8_t {
    Idle = 0,
    Waiting = 1,   // for the receiver's start request
    Due = 2,       // a transmission goes out at the next tick
    BlockSent = 3, // a data block waits for its answer
    EndSent = 4,   // the end-of-transmission byte was sent
};

inline constexpr int kXModemTxInterval = 10;

// The steps of an upgrade as they happen, for whoever follows it without looking at the window.
enum class TFirmwareStep : std::uint8_t {
    MenuAnswered,     // the boot menu arrived and "F" went out
    TransferStarted,  // the receiver's start request began a transfer
    TransferFinished, // the final reply: the device has the whole file
    TransferStopped,  // the transfer stopped (line lost, file changed); waiting for a new start
};

class TFirmwareUpgrade final : public IReceiveHook
{
public:
    // tmrXModemTx gets its interval and handler here. All references must outlive the object.
    TFirmwareUpgrade(ILink &link, IReadInterval &readInterval, ILog &log, ITimer &tmrXModemTx,
                     IProgress &progress, IFirmwareWindow &window);
    ~TFirmwareUpgrade() override;
    TFirmwareUpgrade(const TFirmwareUpgrade &) = delete;
    TFirmwareUpgrade &operator=(const TFirmwareUpgrade &) = delete;

    // The boot-menu steps and, while a transfer runs, its replies; true when the block was ours.
    [[nodiscard]] bool TakeBlock(std::string_view rx) override;
    [[nodiscard]] std::string_view Untaken(std::string_view rx) const override;
    void ChooseFirmwareFile();
    void tmrXModemTxTimer();
    // The window closes. A transfer that still needs the file's bytes stops.
    void CloseFirmwareFile();

    [[nodiscard]] TXmodemState XmodemState() const { return m_xmodemState; }
    [[nodiscard]] std::uint8_t XmodemBlockNo() const { return m_xmodemBlockNo; }
    [[nodiscard]] std::int32_t XmodemBlocksSent() const { return m_xmodemBlocksSent; }
    [[nodiscard]] std::int32_t XmodemBlockTotal() const { return m_xmodemBlockTotal; }
    [[nodiscard]] bool HasFirmwareFile() const { return m_firmwareFile.IsOpen(); }
    // From the start request to the final reply of the last successful transfer; -1 before.
    [[nodiscard]] std::int64_t LastTransferMilliseconds() const { return m_lastTransferMs; }

    void SetClock(TMonotonicClock clock) { m_clock = std::move(clock); }
    void SetStepObserver(std::function<void(TFirmwareStep)> observer)
    {
        m_stepObserver = std::move(observer);
    }
    [[nodiscard]] bool FastPath() const { return m_fastPath; }
    void SetFastPath(bool on);

private:
    // TakeBlock with what was kept of the burst before it in front.
    [[nodiscard]] bool TakeJoined(std::string_view rx, bool startCut);
    void HandleXmodemReply(std::string_view block);
    void StartTransfer();
    void AdvanceBlock();
    void FinishTransfer(std::string_view reply);
    // The tick's work in state 2: a repetition, the next block or the end byte.
    void SendDue();
    // The next block or end byte becomes the last transmission; false when the file could not
    // be read and the transfer stopped.
    [[nodiscard]] bool TakeNextTransmission();
    // The next block (numbered `blockNo`, from m_filePosition), or the end byte after the file,
    // into `out`; its length, or 0 when the file cannot be read (`read` says why).
    [[nodiscard]] std::uint16_t Compose(std::array<std::uint8_t, 133> &out, std::uint8_t blockNo,
                                        std::size_t &got, TFirmwareRead &read, std::string &reason);
    // A data block or the end byte went out, `fresh` or as a repetition.
    void Sent(bool dataBlock, bool fresh);
    // Fast path: what an ACK to the block just sent makes due, handed to the link to reply with.
    void PrepareReply();
    // The prepared block or end byte becomes the last transmission; true for a data block.
    bool AdoptPrepared();
    // The link's reply went: it becomes the last transmission, as if written here.
    void ReplySent();
    // Takes back a prepared reply; true when it had gone.
    bool TakeBackReply();
    // Fast path: the link is told the length of the answer to the write that follows.
    void ExpectAnswerTo(bool dataBlock);
    // Fast path: a block of the awaited length that answers nothing, perhaps cut from a burst
    // (while a start request is awaited, only when the block was cut at its length).
    [[nodiscard]] bool MayBeCutFromABurst(std::string_view rx, bool startCut) const;
    // Writes the last transmission; a refused write stops the transfer.
    [[nodiscard]] bool WriteLast();
    void TraceSent(std::string_view bytes);
    // A transfer stops short: no repetition, no kept block and no awaited answer are left over.
    void ForgetAnswer();
    // Back to waiting for a start request, with a warning; the file goes too when it is bad.
    void StopTransfer(const std::string &warning, bool dropFile);
    void Tell(TFirmwareStep step) const;

    ILink &m_link;
    IReadInterval &m_readInterval;
    ILog &m_log;
    ITimer &m_tmrXModemTx;
    IProgress &m_progress;
    IFirmwareWindow &m_window;
    TMonotonicClock m_clock;
    std::function<void(TFirmwareStep)> m_stepObserver;

    TFirmwareFile m_firmwareFile;
    // Where the file dialog opens: the working folder at first, then the last folder used.
    std::string m_savedFolder;
    TXmodemState m_xmodemState = TXmodemState::Idle;
    std::uint8_t m_xmodemBlockNo = 0;
    std::int32_t m_xmodemBlocksSent = 0;
    std::int32_t m_xmodemBlockTotal = 0;
    std::int64_t m_xmodemStartTick = 0;
    std::uint64_t m_filePosition = 0;
    // The last data block or end byte written, for repetition after a NAK.
    std::array<std::uint8_t, 133> m_lastTransmission{};
    std::uint16_t m_lastLength = 0;
    bool m_repeatLast = false;
    bool m_fastPath = true;
    // Fast path: what the link was given to reply to an ACK with (none while the length is 0),
    // how many file bytes it holds, its number and where in the file it starts. Where the link
    // did not send it, it goes from here when it is due.
    std::array<std::uint8_t, 133> m_prepared{};
    std::uint16_t m_preparedLength = 0;
    std::size_t m_preparedGot = 0;
    std::uint8_t m_preparedBlockNo = 0;
    std::uint64_t m_preparedPosition = 0;
    bool m_replyPrepared = false;
    // The block being taken is the ACK that the prepared reply answered.
    bool m_replySent = false;
    // Fast path: the block kept for the front of the next one.
    std::string m_carry;
    // Fast path: the next block is cut at the start request's length.
    bool m_startCut = false;
    // A joined block that was not ours, for the command traffic.
    std::string m_untaken;
    std::int64_t m_lastTransferMs = -1;
};

} // namespace m845
