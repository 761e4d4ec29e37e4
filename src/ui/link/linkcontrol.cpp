#include "ui/link/linkcontrol.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>

#include "core/log.h"
#include "core/timer.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "ui/link/reopenwatch.h"

namespace m845 {

namespace {

bool ParseBaud(const std::string &text, std::uint32_t &baud)
{
    const char *first = text.data();
    const char *last = first + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, baud);
    return ec == std::errc() && ptr == last && !text.empty();
}

// Why an open failed, beyond the one warning every failure gets.
enum class TOpenFailure : std::uint8_t { None, NoPort, BadBaud, System };

} // namespace

std::uint32_t ReadIntervalForBaud(std::uint32_t baud)
{
    if (baud == 1200 || baud == 2400)
        return 200;
    if (baud == 4800)
        return 80;
    return 60;
}

TLinkControl::TLinkControl(TComm &comm, const IPortSettings &settings, ILog &log, ITimer *rcvTimer)
    : m_comm(comm)
    , m_settings(settings)
    , m_log(log)
    , m_rcvTimer(rcvTimer)
{
    DispatchReceived = [this](const std::uint8_t *buffer, std::uint16_t length) {
        m_log.LogRxOther(std::string_view(reinterpret_cast<const char *>(buffer), length));
    };
    m_comm.OnReceiveData = [this](TComm &, const std::uint8_t *buffer, std::uint16_t length) {
        cm1ReceiveData(buffer, length);
    };
    m_comm.OnReceiveError = [this](TComm &, std::uint32_t mask) {
        cm1ReceiveError(mask);
    };
    m_comm.OnRequestHangup = [this](TComm &) {
        cm1RequestHangup();
    };
}

TLinkControl::~TLinkControl()
{
    // The component may outlive us: it must not call back into a dead object.
    m_comm.OnReceiveData = nullptr;
    m_comm.OnReceiveError = nullptr;
    m_comm.OnRequestHangup = nullptr;
}

bool TLinkControl::OpenLink()
{
    m_lastFailure = 0;
    try {
        m_comm.ClosePort();
        m_comm.SetOutx_CtsFlow(false);
        m_comm.SetOutx_DsrFlow(false);
        m_comm.SetDtrControl(TDtrControl::DtrDisable);
        m_comm.SetTxContinueOnXoff(false);
        m_comm.SetRtsControl(TRtsControl::RtsDisable);
        const std::string port = m_settings.PortText();
        m_comm.SetCommName(port);
        std::uint32_t baud = 0;
        if (!ParseBaud(m_settings.BaudText(), baud)) {
            m_lastFailure = static_cast<int>(TOpenFailure::BadBaud);
            m_isPortOpen = false;
            return false;
        }
        m_comm.SetBaudRate(baud);
        switch (m_settings.ParityIndex()) {
        case 0:
            m_comm.SetParityCheck(false);
            m_comm.SetParity(TParity::None);
            break;
        case 1:
            m_comm.SetParityCheck(true);
            m_comm.SetParity(TParity::Odd);
            break;
        case 2:
            m_comm.SetParityCheck(true);
            m_comm.SetParity(TParity::Even);
            break;
        default:
            break;
        }
        if (const int data = m_settings.DataBitsIndex(); data == 0 || data == 1)
            m_comm.SetByteSize(data == 0 ? TByteSize::_7 : TByteSize::_8);
        if (const int stop = m_settings.StopBitsIndex(); stop == 0 || stop == 1)
            m_comm.SetStopBits(stop == 0 ? TStopBits::_1 : TStopBits::_2);
        m_comm.SetReadIntervalTimeout(ReadIntervalForBaud(baud));
        m_comm.SetRtsControl(TRtsControl::RtsDisable);
        if (m_rcvTimer != nullptr) {
            m_rcvTimer->SetInterval(5000);
            m_rcvTimer->Stop();
        }
        if (port.empty()) {
            m_lastFailure = static_cast<int>(TOpenFailure::NoPort);
            m_isPortOpen = false;
            return false;
        }
        m_comm.OpenPort();
        m_isPortOpen = true;
        emit PortOpenChanged(true);
    } catch (const std::exception &) {
        m_lastFailure = static_cast<int>(TOpenFailure::System);
        m_isPortOpen = false;
    }
    return m_isPortOpen;
}

void TLinkControl::CloseLink()
{
    m_comm.ClosePort();
    const bool wasOpen = m_isPortOpen;
    m_isPortOpen = false;
    if (wasOpen)
        emit PortOpenChanged(false);
}

int TLinkControl::ReopenLink()
{
    if (!OpenLink()) {
        const int error = m_comm.LastOpenError();
        return m_lastFailure == static_cast<int>(TOpenFailure::System) && error != 0 ? error
                                                                                     : EINVAL;
    }
    // A device back at another baud rate is told once more, as after an open by the user.
    m_lineErrorsReported = false;
    if (m_buttonTag == kBtnTagOpen)
        SetButtonTag(kBtnTagClose);
    return 0;
}

void TLinkControl::SetButtonTag(int tag)
{
    m_buttonTag = tag;
    if (OnButtonTagChanged)
        OnButtonTagChanged(tag);
}

void TLinkControl::btnSysClick()
{
    btnSysClick(m_buttonTag);
}

void TLinkControl::btnSysClick(int tag)
{
    switch (tag) {
    case kBtnTagOpen:
        m_lineErrorsReported = false;
        if (OpenLink()) {
            SetButtonTag(kBtnTagClose);
            m_log.LogInfo(LangText("info_ComOpenYes"));
        } else {
            m_log.LogWarn(LangText("info_ComOpenNo"));
            LogOpenFailure();
        }
        break;
    case kBtnTagClose:
        CloseLink();
        SetButtonTag(kBtnTagOpen);
        m_log.LogInfo(LangText("info_ComCloseYes"));
        break;
    case kBtnTagChooseFirmware:
        if (ChooseFirmwareFile)
            ChooseFirmwareFile();
        break;
    default:
        break;
    }
}

void TLinkControl::LogOpenFailure()
{
    switch (static_cast<TOpenFailure>(m_lastFailure)) {
    case TOpenFailure::NoPort:
        m_log.LogWarn(LangText("info_ComWhyNoPort"));
        return;
    case TOpenFailure::BadBaud:
        m_log.LogWarn(LangText("info_ComWhyBaud"));
        return;
    case TOpenFailure::System:
        break;
    case TOpenFailure::None:
        return;
    }
    const int err = m_comm.LastOpenError();
    switch (err) {
    case 0:
        return;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        m_log.LogWarn(LangText("info_ComWhyNotFound"));
        return;
    case EACCES:
    case EPERM:
        m_log.LogWarn(LangText("info_ComWhyAccess"));
        return;
    case EAGAIN:
    case EBUSY:
        m_log.LogWarn(LangText("info_ComWhyBusy"));
        return;
    case ENOTTY:
        m_log.LogWarn(LangText("info_ComWhyNotTty"));
        return;
    default:
        m_log.LogWarn(LangText("info_ComWhyOther") + std::strerror(err));
        return;
    }
}

bool TLinkControl::WriteAll(std::string_view data)
{
    bool ok = true;
    while (!data.empty()) {
        const auto piece = static_cast<std::uint16_t>(std::min<std::size_t>(data.size(), 65535));
        ok = m_comm.WriteData(data.data(), piece) && ok;
        data.remove_prefix(piece);
    }
    return ok;
}

void TLinkControl::SendText(std::string_view text)
{
    if (text.empty())
        return;
    if (!m_isPortOpen) {
        m_log.LogWarn(LangText("info_ComNoOpen"));
        return;
    }
    WriteAll(text);
    m_log.LogTx(text);
    m_lastSentText = std::string(text);
}

void TLinkControl::SendData(std::string_view data)
{
    if (data.empty())
        return;
    if (!m_isPortOpen) {
        m_log.LogWarn(LangText("info_ComNoOpen"));
        return;
    }
    WriteAll(data);
    if (CountTx)
        CountTx(static_cast<std::uint32_t>(data.size()));
    m_log.LogTx(data);
}

bool TLinkControl::WriteData(const std::uint8_t *data, std::uint16_t length)
{
    return m_comm.WriteData(data, length);
}

void TLinkControl::ExpectBlockLength(std::uint16_t length)
{
    m_comm.SetNextBlockLength(length);
}

void TLinkControl::PrepareReply(std::uint8_t answer, const std::uint8_t *reply,
                                std::uint16_t length, std::uint16_t replyAnswerLength)
{
    m_comm.PrepareReply(answer, reply, length, replyAnswerLength);
}

bool TLinkControl::TakeBackReply()
{
    return m_comm.TakeBackReply();
}

void TLinkControl::cm1ReceiveData(const std::uint8_t *buffer, std::uint16_t length)
{
    if (DispatchReceived)
        DispatchReceived(buffer, length);
}

void TLinkControl::cm1ReceiveError(std::uint32_t)
{
    // The component drops reports of an earlier session; this guards a report that was
    // already on its way when the user closed the port.
    if (!m_isPortOpen)
        return;
    // The reopen is silent; without a word a wrong baud rate would show only as garbage. Once
    // per opening by the user, since every block at a wrong rate brings more errors.
    if (!m_lineErrorsReported) {
        m_lineErrorsReported = true;
        m_log.LogWarn(LangText("info_LineErrors"));
    }
    CloseLink();
    static_cast<void>(OpenLink());
    if (!m_isPortOpen && m_buttonTag == kBtnTagClose) {
        // The reopen failed (the adapter went with the errors): say so and show "open".
        m_log.LogWarn(LangText("info_ComLost"));
        SetButtonTag(kBtnTagOpen);
    }
    if (!m_isPortOpen && m_lastFailure == static_cast<int>(TOpenFailure::System)
        && IsGoneError(m_comm.LastOpenError()))
        emit PortLost();
}

void TLinkControl::cm1RequestHangup()
{
    if (!m_isPortOpen)
        return;
    m_log.LogWarn(LangText("info_ComLost"));
    CloseLink();
    if (m_buttonTag == kBtnTagClose)
        SetButtonTag(kBtnTagOpen);
    emit PortLost();
}

} // namespace m845
