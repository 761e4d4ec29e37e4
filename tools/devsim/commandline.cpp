// The command-mode half of the device: one "AT+" line in, one answer out.

#include "devsim/devicemodel.h"

#include <algorithm>
#include <cctype>

namespace m845::devsim {

namespace {

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Ok()
{
    return "\r\nOK\r\n\r\n";
}

std::string Value(const std::string &name, const std::string &value)
{
    return "\r\n+" + name + ":" + value + "\r\n\r\nOK\r\n";
}

std::string Error(ErrCode code)
{
    return "\r\n+ERR:" + std::to_string(static_cast<int>(code)) + "\r\n\r\n";
}

bool IsPhoneNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    return !text.empty() && text.size() <= 20 && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

} // namespace

std::string DeviceModel::HelpText()
{
    // Kept free of blank lines: the answer's first blank line marks its end.
    return "AT+H: help\r\n"
           "AT+E: echo ON/OFF\r\n"
           "AT+Z: restart\r\n"
           "AT+REBOOT: system restart\r\n"
           "AT+VER: firmware version\r\n"
           "AT+HDVER: hardware version\r\n"
           "AT+ENTM: back to data transfer\r\n"
           "AT+SN, AT+ICCID, AT+IMEI, AT+MEID: identities\r\n"
           "AT+CSQ: signal strength\r\n"
           "AT+RELD: restore user defaults\r\n"
           "AT+CLEAR: restore factory settings\r\n"
           "AT+CFGTF: save as user defaults\r\n"
           "AT+WKMOD: work mode NET/HTTPD/SMS/UDC\r\n"
           "AT+CMDPW, AT+STMSG, AT+RSTIM: password, start-up message, restart time\r\n"
           "AT+UART: baud,data,stop,parity,flow\r\n"
           "AT+UARTFT, AT+UARTFL: packing time and length\r\n"
           "AT+APN: apn,user,password,auth\r\n"
           "AT+SOCKA..D: protocol,address,port; EN, SL, LK, TO for each socket\r\n"
           "AT+SOCKRSTIM, AT+SOCKIND: reconnections, source socket\r\n"
           "AT+REGEN, AT+REGTP, AT+REGDT, AT+REGSND: registration packet\r\n"
           "AT+HEARTEN, AT+HEARTDT, AT+HEARTSND, AT+HEARTTM: heartbeat packet\r\n"
           "AT+HTPTP, AT+HTPURL, AT+HTPSV, AT+HTPHD, AT+HTPTO, AT+HTPFLT: HTTP client\r\n"
           "AT+DSTNUM, AT+SMSFLT, AT+SMSPH, AT+SMSEND: SMS\r\n"
           "AT+CLOUD, AT+ID: cloud and UDC identity";
}

std::string DeviceModel::ReadOnlyValue(const std::string &name, TimePoint now)
{
    if (name == "CSQ") {
        StepSignal();
    } else if (name.size() == 7 && name.starts_with("SOCK") && name.ends_with("LK")) {
        UpdateLinks(now);
        const LinkTrack &link = m_links[static_cast<std::size_t>(name[4] - 'A') % m_links.size()];
        return link.wanted && now >= link.upAt ? "ON" : "OFF";
    }
    return m_store.Get(name);
}

void DeviceModel::StepSignal()
{
    int csq = 0;
    if (!m_options.csqList.empty()) {
        csq = m_options.csqList[m_csqIndex++ % m_options.csqList.size()];
    } else if (m_options.csqWalk) {
        if (m_random() % 25 == 0) {
            csq = 99; // lost for a moment; the walk goes on from where it was
        } else {
            m_csqLevel = std::clamp(m_csqLevel + static_cast<int>(m_random() % 7) - 3, 0, 31);
            csq = m_csqLevel;
        }
    } else {
        return;
    }
    m_store.Put("CSQ", std::to_string(csq) + ",99");
}

void DeviceModel::UpdateLinks(TimePoint now)
{
    for (std::size_t i = 0; i < m_links.size(); ++i) {
        LinkTrack &link = m_links[i];
        const bool wanted
            = m_store.Get(std::string("SOCK") + static_cast<char>('A' + i) + "LK") == "ON";
        if (!wanted) {
            link.wanted = false;
            continue;
        }
        if (!link.wanted) {
            link.wanted = true;
            link.upAt = now + m_options.linkDelay;
            ScheduleDrop(i);
        }
        while (link.dropAt && now >= *link.dropAt) {
            link.upAt = *link.dropAt + std::max(m_options.linkDelay, Millis(1000));
            ScheduleDrop(i);
        }
    }
}

void DeviceModel::ScheduleDrop(std::size_t socket)
{
    LinkTrack &link = m_links[socket];
    const long long every = m_options.linkDropEvery.count();
    if (every <= 0) {
        link.dropAt.reset();
        return;
    }
    // Half to one and a half times the mean after the link came up.
    const long long gap
        = every / 2 + static_cast<long long>(m_random() % static_cast<std::uint64_t>(every));
    link.dropAt = link.upAt + Millis(gap);
}

void DeviceModel::ProcessLine(const std::string &line, TimePoint now, std::vector<Burst> &out)
{
    if (line.empty()) {
        return; // a bare line end, as terminals send: nothing to answer
    }
    AddTrace(line);
    // The echo is the line as received; it rides in front of the answer.
    std::string reply = m_store.Get("E") == "ON" ? line + "\r\n" : std::string();
    std::string name;
    reply += Answer(line, now, name);
    if (m_options.splitCommands.contains(name) && reply.size() > 1) {
        const std::size_t half = reply.size() / 2;
        Send(now, reply.substr(0, half), out);
        Send(now + m_options.splitGap, reply.substr(half), out);
        return;
    }
    Send(now, std::move(reply), out);
}

std::string DeviceModel::Answer(const std::string &line, TimePoint now, std::string &name)
{
    const std::string head = Upper(line.substr(0, std::min<std::size_t>(line.size(), 3)));
    if (head == "AT" && line.size() == 2) {
        return Ok();
    }
    if (head != "AT+") {
        return Error(ErrCode::Malformed);
    }
    const std::string body = line.substr(3);
    const std::size_t op = body.find_first_of("?=");
    name = Upper(body.substr(0, op));
    if (name.empty()) {
        return Error(ErrCode::Malformed);
    }
    if (m_options.errCommands.contains(name)) {
        return Error(ErrCode::NotAllowed);
    }
    const CmdInfo *info = ParamStore::Find(name);
    if (info == nullptr) {
        return Error(ErrCode::UnknownCmd);
    }
    const bool isQuery = op != std::string::npos && body[op] == '?';
    const bool isSet = op != std::string::npos && body[op] == '=';
    if (isQuery && op + 1 != body.size()) {
        return Error(ErrCode::Malformed);
    }
    switch (info->kind) {
    case CmdKind::Action:
        if (isQuery || (isSet && name != "SMSEND")) {
            return Error(ErrCode::BadOperator);
        }
        return RunAction(name, isSet, isSet ? body.substr(op + 1) : std::string(), now);
    case CmdKind::ReadOnly:
        if (isSet) {
            return Error(ErrCode::BadOperator);
        }
        return Value(name, ReadOnlyValue(name, now));
    case CmdKind::Param:
        if (!isSet) {
            return Value(name, m_store.Get(name));
        }
        if (m_options.ignoreCommands.contains(name)) {
            return Ok();
        }
        if (const auto err = m_store.Set(name, body.substr(op + 1))) {
            return Error(*err);
        }
        UpdateLinks(now);
        if (onStoreChanged) {
            onStoreChanged();
        }
        return Ok();
    }
    return Error(ErrCode::UnknownCmd);
}

std::string DeviceModel::RunAction(const std::string &name, bool hasValue, const std::string &value,
                                   TimePoint now)
{
    if (name == "H") {
        return "\r\n+H:" + HelpText() + "\r\n\r\nOK\r\n";
    }
    if (name == "Z" || name == "REBOOT") {
        BeginRestart(now, false);
        return Ok();
    }
    if (name == "ENTM") {
        m_mode = DeviceMode::DataTransfer;
        m_frame.clear();
        return Ok();
    }
    if (name == "CLEAR" || name == "RELD" || name == "CFGTF") {
        if (name == "CLEAR") {
            m_store.RestoreFactory();
        } else if (name == "RELD") {
            m_store.RestoreUserDefaults();
        } else {
            m_store.SaveUserDefaults();
        }
        UpdateLinks(now);
        if (onStoreChanged) {
            onStoreChanged();
        }
        return Ok();
    }
    if (name == "SMSEND") {
        // number,text; the text may hold further commas.
        const std::size_t comma = value.find(',');
        if (!hasValue || comma == std::string::npos || comma + 1 == value.size()
            || !IsPhoneNumber(std::string_view(value).substr(0, comma))) {
            return Error(ErrCode::BadValue);
        }
        return Ok();
    }
    return Error(ErrCode::UnknownCmd);
}

} // namespace m845::devsim
