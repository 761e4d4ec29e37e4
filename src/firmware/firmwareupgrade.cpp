#include "firmware/firmwareupgrade.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

#include "core/firmwarewindow.h"
#include "core/link.h"
#include "core/log.h"
#include "core/progress.h"
#include "core/readinterval.h"
#include "core/timer.h"
#include "lang/langlist.h"
#include "support/conversions.h"

namespace m845 {

namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kStartRequest = 'C';
constexpr std::size_t kDataSize = 128;
constexpr std::uint8_t kPadding = 0x1A;

constexpr std::string_view kBootMenu
    = "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>";
constexpr std::string_view kBootConfirm = "F\r\nSure to update, 'Y' or 'N'\r\n>";
constexpr std::string_view kFinalReply = "\x06\r\n>";
constexpr std::string_view kHyphens = "-------------------------------";
constexpr std::string_view kRcvHeader = "[ Rcv ]:";
constexpr std::string_view kSendHeader = "[ Send ]:";

bool Contains(std::string_view s, std::string_view what)
{
    return s.find(what) != std::string_view::npos;
}

bool IsReceiverByte(std::string_view rx)
{
    return rx.size() == 1 && (rx[0] == kAck || rx[0] == kNak || rx[0] == kStartRequest);
}

std::uint8_t NextBlockNo(std::uint8_t blockNo)
{
    return static_cast<std::uint8_t>(blockNo + 1); // 255 is followed by 0
}

std::string WorkingFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
}

} // namespace

TFirmwareUpgrade::TFirmwareUpgrade(ILink &link, IReadInterval &readInterval, ILog &log,
                                   ITimer &tmrXModemTx, IProgress &progress,
                                   IFirmwareWindow &window)
    : m_link(link)
    , m_readInterval(readInterval)
    , m_log(log)
    , m_tmrXModemTx(tmrXModemTx)
    , m_progress(progress)
    , m_window(window)
    , m_clock(&SteadyMilliseconds)
{
    m_tmrXModemTx.SetInterval(kXModemTxInterval);
    m_tmrXModemTx.SetOnTimeout([this] { tmrXModemTxTimer(); });
}

TFirmwareUpgrade::~TFirmwareUpgrade()
{
    static_cast<void>(TakeBackReply());
    m_tmrXModemTx.Stop();
    m_tmrXModemTx.SetOnTimeout({});
}

bool TFirmwareUpgrade::TakeBlock(std::string_view rx)
{
    m_untaken.clear();
    // Whatever the block, the reply prepared for it has gone with it or not at all.
    m_replySent = TakeBackReply();
    const bool startCut = std::exchange(m_startCut, false);
    if (m_carry.empty())
        return TakeJoined(rx, startCut);
    std::string joined = std::exchange(m_carry, {});
    joined.append(rx);
    if (TakeJoined(joined, startCut))
        return true;
    m_untaken = std::move(joined);
    return false;
}

std::string_view TFirmwareUpgrade::Untaken(std::string_view rx) const
{
    return m_untaken.empty() ? rx : std::string_view(m_untaken);
}

bool TFirmwareUpgrade::TakeJoined(std::string_view rx, bool startCut)
{
    // The boot loader's dialogue comes in bursts that must arrive whole.
    if (Contains(rx, kBootMenu)) {
        m_log.LogRxOther(rx);
        m_link.SendText("F");
        Tell(TFirmwareStep::MenuAnswered);
        return true;
    }
    if (Contains(rx, kBootConfirm) && m_link.LastSentText() == "F") {
        m_log.LogRxOther(rx);
        m_link.SendText("Y");
        return true;
    }
    if (rx == "Y\r\n" && m_link.LastSentText() == "Y") {
        m_log.LogRxOther(rx);
        m_xmodemState = TXmodemState::Waiting;
        m_tmrXModemTx.Start();
        // The start request is one byte as well: the first block goes the moment it is in.
        if (m_fastPath) {
            m_readInterval.ExpectBlockLength(1);
            m_startCut = true;
        }
        return true;
    }
    if (m_xmodemState == TXmodemState::Idle)
        return false;
    if (MayBeCutFromABurst(rx, startCut)) {
        m_carry = std::string(rx);
        return true;
    }
    // While a start request is awaited only the receiver's bytes are ours. Anything else means
    // the device runs its application (a transfer stopped by a lost line, a device that was
    // restarted): the waiting ends and the block is its traffic, not swallowed unseen.
    if (m_xmodemState == TXmodemState::Waiting && !IsReceiverByte(rx)) {
        m_xmodemState = TXmodemState::Idle;
        return false;
    }
    HandleXmodemReply(rx);
    return true;
}

bool TFirmwareUpgrade::MayBeCutFromABurst(std::string_view rx, bool startCut) const
{
    if (!m_fastPath)
        return false;
    // The head cut from other traffic waits for the rest, which then goes on whole.
    if (m_xmodemState == TXmodemState::Waiting)
        return startCut && rx.size() == 1 && !IsReceiverByte(rx);
    if (m_xmodemState == TXmodemState::BlockSent)
        return rx.size() == 1 && !IsReceiverByte(rx);
    if (m_xmodemState == TXmodemState::EndSent)
        return rx.size() == kFinalReply.size() && rx != kFinalReply;
    return false;
}

void TFirmwareUpgrade::SetFastPath(bool on)
{
    m_fastPath = on;
    if (!on) {
        static_cast<void>(TakeBackReply());
        m_startCut = false;
        m_readInterval.ExpectBlockLength(0);
    }
}

void TFirmwareUpgrade::HandleXmodemReply(std::string_view block)
{
    if (m_window.ShowDataStream()) {
        m_log.LogRx(kRcvHeader);
        m_log.LogRx(BytesToHex(
            std::span(reinterpret_cast<const std::uint8_t *>(block.data()), block.size())));
    }
    if (block.size() == 1) {
        switch (block.front()) {
        case kAck:
            if (m_xmodemState == TXmodemState::BlockSent) {
                AdvanceBlock();
                m_xmodemState = TXmodemState::Due;
                if (std::exchange(m_replySent, false))
                    ReplySent();
            }
            break;
        case kNak:
            // Nothing was sent while waiting for the start request: nothing to repeat.
            if (m_xmodemState == TXmodemState::BlockSent
                || m_xmodemState == TXmodemState::EndSent) {
                m_repeatLast = true;
                m_xmodemState = TXmodemState::Due;
            }
            break;
        case kStartRequest:
            m_log.LogInfo(LangText("info_ModuleRTS"));
            if (!m_firmwareFile.IsOpen())
                m_log.LogWarn(LangText("info_AbsentFwFlie"));
            else
                StartTransfer();
            break;
        default:
            break;
        }
    } else if (block.size() == 4) {
        // Only an answer to the end byte means the device has the whole file.
        if (block == kFinalReply && m_xmodemState == TXmodemState::EndSent)
            FinishTransfer(block);
    } else {
        m_xmodemState = TXmodemState::Idle;
    }
    if (m_fastPath && m_xmodemState == TXmodemState::Due)
        SendDue();
}

void TFirmwareUpgrade::StartTransfer()
{
    const std::string path = m_firmwareFile.Path();
    if (!m_firmwareFile.Snapshot()) {
        StopTransfer(LangFormat("info_FwFileChanged", {path}), true);
        return;
    }
    m_xmodemStartTick = m_clock();
    const std::uint64_t total = m_firmwareFile.Size() / kDataSize + 1;
    m_xmodemBlockTotal = static_cast<std::int32_t>(
        std::min<std::uint64_t>(total, std::numeric_limits<std::int32_t>::max()));
    m_filePosition = 0;
    m_progress.ShowProgress(m_xmodemBlockTotal, 0);
    m_log.LogInfo(LangText("info_Sending"));
    m_xmodemBlockNo = 0;
    m_xmodemBlocksSent = 0;
    // A NAK just before the restart must not bring back a block of the old run, nor may a
    // block prepared in it go.
    m_repeatLast = false;
    m_preparedLength = 0;
    AdvanceBlock();
    m_xmodemState = TXmodemState::Due;
    Tell(TFirmwareStep::TransferStarted);
}

void TFirmwareUpgrade::AdvanceBlock()
{
    m_xmodemBlockNo = NextBlockNo(m_xmodemBlockNo);
    m_xmodemBlocksSent += 1;
}

void TFirmwareUpgrade::tmrXModemTxTimer()
{
    if (m_xmodemState >= TXmodemState::Due && !m_link.IsPortOpen()) {
        StopTransfer(LangText("info_FwPortLost"), false);
        return;
    }
    if (m_xmodemState == TXmodemState::Due)
        SendDue();
}

void TFirmwareUpgrade::ExpectAnswerTo(bool dataBlock)
{
    if (m_fastPath)
        m_readInterval.ExpectBlockLength(
            static_cast<std::uint16_t>(dataBlock ? 1 : kFinalReply.size()));
}

void TFirmwareUpgrade::SendDue()
{
    const bool fresh = !std::exchange(m_repeatLast, false);
    if (fresh && !TakeNextTransmission())
        return;
    const bool dataBlock = m_lastLength > 1;
    ExpectAnswerTo(dataBlock);
    if (WriteLast())
        Sent(dataBlock, fresh);
}

bool TFirmwareUpgrade::TakeNextTransmission()
{
    // What the link was given but did not send is due now: it goes as it was read.
    if (m_preparedLength != 0 && m_preparedBlockNo == m_xmodemBlockNo
        && m_preparedPosition == m_filePosition) {
        static_cast<void>(AdoptPrepared());
        return true;
    }
    std::size_t got = 0;
    TFirmwareRead read = TFirmwareRead::Ok;
    std::string reason;
    m_lastLength = Compose(m_lastTransmission, m_xmodemBlockNo, got, read, reason);
    switch (read) {
    case TFirmwareRead::Ok:
        break;
    case TFirmwareRead::Changed:
        StopTransfer(LangFormat("info_FwFileChanged", {m_firmwareFile.Path()}), true);
        return false;
    case TFirmwareRead::Failed:
        StopTransfer(LangFormat("info_FwFileReadFail", {reason}), true);
        return false;
    }
    m_filePosition += got;
    return true;
}

std::uint16_t TFirmwareUpgrade::Compose(std::array<std::uint8_t, 133> &out, std::uint8_t blockNo,
                                        std::size_t &got, TFirmwareRead &read, std::string &reason)
{
    got = 0;
    read = TFirmwareRead::Ok;
    if (m_filePosition >= m_firmwareFile.Size()) {
        out[0] = kEot;
        return 1;
    }
    std::uint8_t *data = out.data() + 3;
    read = m_firmwareFile.Read(m_filePosition, data, kDataSize, got, reason);
    if (read != TFirmwareRead::Ok)
        return 0;
    std::fill(data + got, data + kDataSize, kPadding);
    out[0] = kSoh;
    out[1] = blockNo;
    out[2] = static_cast<std::uint8_t>(255 - blockNo);
    const std::uint16_t crc = Crc16Xmodem(data, 0, kDataSize);
    out[131] = static_cast<std::uint8_t>(crc >> 8);
    out[132] = static_cast<std::uint8_t>(crc & 0xFF);
    return static_cast<std::uint16_t>(out.size());
}

void TFirmwareUpgrade::Sent(bool dataBlock, bool fresh)
{
    m_xmodemState = dataBlock ? TXmodemState::BlockSent : TXmodemState::EndSent;
    if (dataBlock)
        PrepareReply();
    // After the write: the bar's repaint is no reason to keep the line waiting.
    if (dataBlock && fresh)
        m_progress.ShowProgress(m_xmodemBlockTotal, m_xmodemBlocksSent);
    TraceSent({reinterpret_cast<const char *>(m_lastTransmission.data()), m_lastLength});
}

void TFirmwareUpgrade::PrepareReply()
{
    if (!m_fastPath)
        return;
    TFirmwareRead read = TFirmwareRead::Ok;
    std::string reason;
    m_preparedBlockNo = NextBlockNo(m_xmodemBlockNo);
    m_preparedPosition = m_filePosition;
    m_preparedLength = Compose(m_prepared, m_preparedBlockNo, m_preparedGot, read, reason);
    // A file that cannot be read now is reported when its block is due, as without a reply.
    if (m_preparedLength == 0)
        return;
    m_readInterval.PrepareReply(
        static_cast<std::uint8_t>(kAck), m_prepared.data(), m_preparedLength,
        static_cast<std::uint16_t>(m_preparedLength > 1 ? 1 : kFinalReply.size()));
    m_replyPrepared = true;
}

bool TFirmwareUpgrade::AdoptPrepared()
{
    m_lastTransmission = m_prepared;
    m_lastLength = std::exchange(m_preparedLength, 0);
    m_filePosition += m_preparedGot;
    return m_lastLength > 1;
}

void TFirmwareUpgrade::ReplySent()
{
    Sent(AdoptPrepared(), true);
}

bool TFirmwareUpgrade::TakeBackReply()
{
    return std::exchange(m_replyPrepared, false) && m_readInterval.TakeBackReply();
}

bool TFirmwareUpgrade::WriteLast()
{
    if (m_link.WriteData(m_lastTransmission.data(), m_lastLength))
        return true;
    // The port has gone (or its writer has): sending on would only pretend to.
    StopTransfer(LangText("info_FwPortLost"), false);
    return false;
}

void TFirmwareUpgrade::TraceSent(std::string_view bytes)
{
    if (!m_window.ShowDataStream())
        return;
    m_log.LogTx(kSendHeader);
    m_log.LogTx(TextToHex(bytes, ""));
}

void TFirmwareUpgrade::ForgetAnswer()
{
    static_cast<void>(TakeBackReply());
    m_preparedLength = 0;
    m_repeatLast = false;
    m_carry.clear();
    m_startCut = false;
    m_readInterval.ExpectBlockLength(0);
}

void TFirmwareUpgrade::StopTransfer(const std::string &warning, bool dropFile)
{
    // Waiting again: the device's next start request begins afresh.
    m_xmodemState = TXmodemState::Waiting;
    ForgetAnswer();
    m_progress.HideProgress();
    m_log.LogWarn(warning);
    if (dropFile)
        m_firmwareFile.Close();
    Tell(TFirmwareStep::TransferStopped);
}

void TFirmwareUpgrade::Tell(TFirmwareStep step) const
{
    if (m_stepObserver)
        m_stepObserver(step);
}

void TFirmwareUpgrade::FinishTransfer(std::string_view reply)
{
    m_xmodemState = TXmodemState::Idle;
    m_xmodemBlockNo = 0;
    m_xmodemBlocksSent = 0;
    m_progress.HideProgress();
    m_log.LogInfo(LangText("info_FwUpOver"));
    m_lastTransferMs = m_clock() - m_xmodemStartTick;
    m_log.LogInfo(LangText("info_FwUpTime") + std::to_string(m_lastTransferMs / 1000));
    m_log.LogInfo(kHyphens);
    m_tmrXModemTx.Stop();
    m_log.LogRxOther(reply);
    if (m_window.OverRestart()) {
        const std::uint8_t restart = 'R';
        static_cast<void>(m_link.WriteData(&restart, 1));
        TraceSent("R");
    }
    m_firmwareFile.Close();
    Tell(TFirmwareStep::TransferFinished);
}

void TFirmwareUpgrade::CloseFirmwareFile()
{
    m_firmwareFile.Close();
    // Without the file the next tick would take it for sent and end with the end byte, and the
    // device's answer to that would be reported as a success.
    if (m_xmodemState == TXmodemState::Due || m_xmodemState == TXmodemState::BlockSent) {
        m_xmodemState = TXmodemState::Waiting;
        ForgetAnswer();
        m_progress.HideProgress();
        Tell(TFirmwareStep::TransferStopped);
    }
}

void TFirmwareUpgrade::ChooseFirmwareFile()
{
    if (!m_link.IsPortOpen()) {
        m_log.LogWarn(LangText("info_ComNoOpen"));
        return;
    }
    m_log.LogInfo(LangText("info_SlctFwFile"));
    if (m_savedFolder.empty())
        m_savedFolder = WorkingFolder();
    const TFileDialogRequest request{
        LangText("info_SlctFwFile"),
        {LangText("info_FwFile") + "(*.bin)", LangText("info_AllFile") + "(*.*)"},
        "bin",
        m_savedFolder,
    };
    const std::optional<std::string> chosen = m_window.AskFirmwareFile(request);
    if (!chosen)
        return;
    // The dialog runs while a transfer may go on: it must not go on with another file's bytes.
    const bool running = m_xmodemState >= TXmodemState::Due;
    m_firmwareFile.Close();
    if (running)
        StopTransfer(LangText("info_FwFileSwitched"), false);
    std::string reason;
    switch (m_firmwareFile.Open(*chosen, reason)) {
    case TFirmwareOpen::Ok:
        break;
    case TFirmwareOpen::NotRegular:
        m_log.LogWarn(LangFormat("info_FwFileNotFile", {*chosen}));
        return;
    case TFirmwareOpen::Failed:
        m_log.LogWarn(LangFormat("info_FwFileOpenFail", {*chosen, reason}));
        return;
    }
    if (const std::string folder = std::filesystem::path(*chosen).parent_path().string();
        !folder.empty())
        m_savedFolder = folder;
    m_log.LogInfo("");
    m_log.LogInfo("[ File name ]: " + *chosen);
    m_log.LogInfo("[ File size ]: " + std::to_string(m_firmwareFile.Size()) + " Bytes");
    m_log.LogInfo(LangText("info_ReloadRepower"));
}

} // namespace m845
