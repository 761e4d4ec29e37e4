#include "devsim/devicemodel.h"

#include <algorithm>
#include <charconv>

namespace m845::devsim {

std::string_view ModeName(DeviceMode mode)
{
    switch (mode) {
    case DeviceMode::PoweredOff:
        return "powered-off";
    case DeviceMode::DataTransfer:
        return "data";
    case DeviceMode::EscapeSeen:
        return "escape";
    case DeviceMode::Command:
        return "command";
    case DeviceMode::Restarting:
        return "restarting";
    case DeviceMode::BootMenu:
        return "boot-menu";
    case DeviceMode::BootConfirm:
        return "boot-confirm";
    case DeviceMode::XmodemWaiting:
        return "xmodem-waiting";
    case DeviceMode::XmodemReceiving:
        return "xmodem-receiving";
    }
    return "?";
}

DeviceModel::DeviceModel(ModelOptions options, ParamStore store)
    : m_options(std::move(options))
    , m_store(std::move(store))
    , m_bootOnNextStart(m_options.boot || m_options.reloadHeld)
    , m_xmodem(m_options.nakEvery)
    , m_random(m_options.seed)
{
    const std::string csq = m_store.Get("CSQ");
    std::from_chars(csq.data(), csq.data() + csq.size(), m_csqLevel);
    m_csqLevel = std::clamp(m_csqLevel, 0, 31);
}

std::vector<Burst> DeviceModel::PowerOn(TimePoint now)
{
    std::vector<Burst> out;
    if (m_mode != DeviceMode::PoweredOff) {
        return out;
    }
    if (m_bootOnNextStart) {
        StartBootLoader(now, out);
    } else {
        StartApplication(now, out);
    }
    return out;
}

std::vector<Burst> DeviceModel::Tick(TimePoint now)
{
    std::vector<Burst> out;
    RunDue(now, out);
    return out;
}

std::optional<TimePoint> DeviceModel::NextDeadline() const
{
    switch (m_mode) {
    case DeviceMode::DataTransfer:
        if (!m_frame.empty() && m_lastRx) {
            return *m_lastRx + m_options.guardTime;
        }
        return std::nullopt;
    case DeviceMode::Command:
        // Only a line that could still be an escape needs the clock.
        if (m_line == "+++" && m_lineAfterSilence && m_lastRx) {
            return *m_lastRx + m_options.guardTime;
        }
        return std::nullopt;
    case DeviceMode::EscapeSeen:
        return m_escapeUntil;
    case DeviceMode::Restarting:
        return m_restartAt;
    case DeviceMode::XmodemWaiting:
        return m_nextStartRequest;
    case DeviceMode::XmodemReceiving:
        if (m_xmodem.HasPartial() && m_lastRx) {
            return *m_lastRx + m_options.blockTimeout;
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void DeviceModel::RunDue(TimePoint now, std::vector<Burst> &out)
{
    // Each step may move to a mode with a later deadline; loop until nothing is due.
    for (int guard = 0; guard < 1000; ++guard) {
        const auto deadline = NextDeadline();
        if (!deadline || *deadline > now) {
            return;
        }
        const TimePoint at = *deadline;
        switch (m_mode) {
        case DeviceMode::DataTransfer:
            CloseFrame(at, out);
            break;
        case DeviceMode::Command:
            m_line.clear();
            EnterEscape(at, DeviceMode::Command, out);
            break;
        case DeviceMode::EscapeSeen:
            m_mode = m_escapeReturn;
            break;
        case DeviceMode::Restarting:
            m_mode = DeviceMode::PoweredOff;
            if (m_bootOnNextStart && !m_restartIntoApplication) {
                StartBootLoader(at, out);
            } else {
                StartApplication(at, out);
            }
            break;
        case DeviceMode::XmodemWaiting:
            Send(at, "C", out);
            m_lastStartRequest = at;
            m_nextStartRequest = at + m_options.startRequestInterval;
            break;
        case DeviceMode::XmodemReceiving: {
            std::vector<std::string> replies;
            m_xmodem.Purge(replies);
            for (auto &reply : replies) {
                Send(at, std::move(reply), out);
            }
            break;
        }
        default:
            return;
        }
    }
}

void DeviceModel::Send(TimePoint at, std::string bytes, std::vector<Burst> &out)
{
    if (bytes.empty() || m_options.mute) {
        return;
    }
    if (m_options.garble) {
        // Sampled at the wrong rate, a byte comes out as some other one; these never form a
        // line end, an "a" or any other text the tool could take for an answer.
        for (char &c : bytes) {
            c = static_cast<char>(0x80U | ((static_cast<unsigned char>(c) * 7U + 3U) & 0x7FU));
        }
    }
    out.push_back({at, std::move(bytes)});
}

void DeviceModel::AddTrace(const std::string &line)
{
    m_trace.push_back(line);
    if (onTrace) {
        onTrace(line);
    }
}

void DeviceModel::StartApplication(TimePoint now, std::vector<Burst> &out)
{
    // Every start connects afresh.
    for (LinkTrack &link : m_links) {
        link.wanted = false;
    }
    UpdateLinks(now);
    m_mode = DeviceMode::DataTransfer;
    m_frame.clear();
    m_line.clear();
    m_restartIntoApplication = false;
    const std::string message = m_store.Get("STMSG");
    if (!message.empty() && !Quiet()) {
        Send(now, "\r\n" + message + "\r\n", out);
    }
}

void DeviceModel::StartBootLoader(TimePoint now, std::vector<Burst> &out)
{
    // The button is read once at start-up; only --reload-held keeps it down for the next one.
    m_bootOnNextStart = m_options.reloadHeld;
    m_mode = DeviceMode::BootMenu;
    Send(now, std::string(kBootMenu), out);
}

void DeviceModel::BeginRestart(TimePoint now, bool intoApplication)
{
    m_mode = DeviceMode::Restarting;
    m_restartAt = now + m_options.restartTime;
    m_restartIntoApplication = intoApplication;
    m_frame.clear();
    m_line.clear();
}

void DeviceModel::EnterEscape(TimePoint at, DeviceMode returnTo, std::vector<Burst> &out)
{
    AddTrace("+++");
    m_escapeReturn = returnTo;
    m_escapeUntil = at + m_options.entryWindow;
    m_mode = DeviceMode::EscapeSeen;
    Send(at, "a", out);
}

std::vector<Burst> DeviceModel::Receive(std::string_view bytes, TimePoint now)
{
    std::vector<Burst> out;
    RunDue(now, out);
    const bool afterSilence = !m_lastRx || now - *m_lastRx >= m_options.guardTime;
    switch (m_mode) {
    case DeviceMode::PoweredOff:
    case DeviceMode::Restarting:
        break; // nobody listens while the device starts
    case DeviceMode::DataTransfer:
        if (m_frame.empty()) {
            m_frameAfterSilence = afterSilence;
        }
        ReceiveData(bytes, now, out);
        break;
    case DeviceMode::EscapeSeen:
        if (bytes.empty()) {
            break;
        }
        if (bytes.front() == 'a') {
            AddTrace("a");
            m_entered = true;
            m_mode = DeviceMode::Command;
            m_line.clear();
            m_swallowLf = false;
            Send(now, "+ok\r\n", out);
            bytes.remove_prefix(1);
            m_lastRx = now;
            ReceiveCommand(bytes, now, out);
            return out;
        }
        // Anything but "a" ends the escape; the bytes count as ordinary traffic.
        m_mode = m_escapeReturn;
        if (m_mode == DeviceMode::DataTransfer) {
            m_frameAfterSilence = false;
            ReceiveData(bytes, now, out);
        } else {
            ReceiveCommand(bytes, now, out);
        }
        break;
    case DeviceMode::Command:
        if (m_line.empty()) {
            m_lineAfterSilence = afterSilence;
        }
        ReceiveCommand(bytes, now, out);
        break;
    case DeviceMode::BootMenu:
    case DeviceMode::BootConfirm:
        ReceiveBoot(bytes, now, out);
        break;
    case DeviceMode::XmodemWaiting:
    case DeviceMode::XmodemReceiving:
        ReceiveXmodem(bytes, now, out);
        break;
    }
    m_lastRx = now;
    return out;
}

void DeviceModel::ReceiveData(std::string_view bytes, TimePoint now, std::vector<Burst> &out)
{
    int packLength = 1024;
    const std::string length = m_store.Get("UARTFL");
    std::from_chars(length.data(), length.data() + length.size(), packLength);
    packLength = std::clamp(packLength, 1, 4096);
    for (const char byte : bytes) {
        m_frame.push_back(byte);
        if (static_cast<int>(m_frame.size()) >= packLength) {
            CloseFrame(now, out);
            m_frameAfterSilence = false;
        }
    }
}

void DeviceModel::CloseFrame(TimePoint at, std::vector<Burst> &out)
{
    std::string frame = std::move(m_frame);
    m_frame.clear();
    if (frame == "+++" && m_frameAfterSilence) {
        EnterEscape(at, DeviceMode::DataTransfer, out);
        return;
    }
    // The packed frame goes to the network; the simulated peer sends it straight back.
    if (!Quiet()) {
        Send(at, std::move(frame), out);
    }
}

void DeviceModel::ReceiveCommand(std::string_view bytes, TimePoint now, std::vector<Burst> &out)
{
    constexpr std::size_t maxLine = 1024;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte == '\n' && m_swallowLf) {
            m_swallowLf = false;
            continue;
        }
        m_swallowLf = byte == '\r';
        if (byte == '\r' || byte == '\n') {
            std::string line = std::move(m_line);
            m_line.clear();
            if (m_lineOverflow) {
                m_lineOverflow = false;
                line.assign(1, '\x01'); // no command starts so; answered as malformed
            }
            ProcessLine(line, now, out);
            if (m_mode != DeviceMode::Command) {
                // Left command mode (AT+ENTM, a restart): the rest is the new mode's business.
                if (m_mode == DeviceMode::DataTransfer) {
                    std::string_view rest = bytes.substr(i + 1);
                    if (byte == '\r' && !rest.empty() && rest.front() == '\n') {
                        rest.remove_prefix(1);
                    }
                    m_frameAfterSilence = false;
                    ReceiveData(rest, now, out);
                }
                return;
            }
            continue;
        }
        if (m_line.size() < maxLine) {
            m_line.push_back(byte);
        } else {
            m_lineOverflow = true;
        }
    }
}

void DeviceModel::ReceiveBoot(std::string_view bytes, TimePoint now, std::vector<Burst> &out)
{
    bool reprint = false;
    for (const char byte : bytes) {
        if (m_mode == DeviceMode::BootMenu) {
            switch (byte) {
            case 'F':
                m_mode = DeviceMode::BootConfirm;
                Send(now, std::string(kBootConfirm), out);
                break;
            case 'G':
                Send(now, "G\r\n", out);
                BeginRestart(now, true);
                return;
            case 'R':
                Send(now, "R\r\n", out);
                BeginRestart(now, false);
                return;
            case '\r':
            case '\n':
                break;
            default:
                reprint = true;
                break;
            }
        } else if (m_mode == DeviceMode::BootConfirm) {
            if (byte == 'Y') {
                Send(now, "Y\r\n", out);
                m_mode = DeviceMode::XmodemWaiting;
                m_xmodem = XmodemReceiver(m_options.nakEvery);
                m_nextStartRequest = now + m_options.startRequestInterval;
                return;
            }
            if (byte == 'N') {
                Send(now, "N\r\n", out);
                m_mode = DeviceMode::BootMenu;
                reprint = true;
            }
        }
    }
    if (reprint && m_mode == DeviceMode::BootMenu) {
        Send(now, std::string(kBootMenu), out);
    }
}

void DeviceModel::ReceiveXmodem(std::string_view bytes, TimePoint now, std::vector<Burst> &out)
{
    std::vector<std::string> replies;
    m_xmodem.Receive(bytes, replies);
    // Answers to blocks that arrived together still leave as they are made, back to back.
    for (auto &reply : replies) {
        Send(now, std::move(reply), out);
    }
    if (m_xmodem.Started() && m_mode == DeviceMode::XmodemWaiting) {
        m_mode = DeviceMode::XmodemReceiving;
    }
    if (m_xmodem.Finished()) {
        FinishXmodem(now, out);
    } else if (m_xmodem.Cancelled()) {
        m_mode = DeviceMode::BootMenu;
        Send(now, std::string(kBootMenu), out);
    }
}

void DeviceModel::FinishXmodem(TimePoint, std::vector<Burst> &)
{
    m_firmware = m_xmodem.Image();
    ++m_firmwareCount;
    // The final reply ends with the prompt: the menu is waiting for a key again.
    m_mode = DeviceMode::BootMenu;
    if (onFirmware) {
        onFirmware(m_firmware);
    }
}

} // namespace m845::devsim
