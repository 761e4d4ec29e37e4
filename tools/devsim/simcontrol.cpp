#include "devsim/simcontrol.h"

#include "devsim/simserver.h"

namespace m845::devsim {

namespace {

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

SimControl ParseControlLine(std::string_view line)
{
    const std::string_view text = Trimmed(line);
    SimControl control;
    if (text.empty()) {
        return control;
    }
    if (text == "on") {
        control.kind = SimControl::Kind::PowerOn;
    } else if (text == "off") {
        control.kind = SimControl::Kind::PowerOff;
    } else if (text.rfind("set ", 0) == 0 && text.find('=') != std::string_view::npos) {
        const std::string_view entry = Trimmed(text.substr(4));
        const std::size_t equals = entry.find('=');
        control.name = std::string(Trimmed(entry.substr(0, equals)));
        control.value = std::string(entry.substr(equals + 1));
        control.kind = control.name.empty() ? SimControl::Kind::Bad : SimControl::Kind::Set;
    } else {
        control.kind = SimControl::Kind::Bad;
    }
    return control;
}

bool ApplyControlLine(SimServer &server, std::string_view line, std::string &error)
{
    const SimControl control = ParseControlLine(line);
    switch (control.kind) {
    case SimControl::Kind::None:
        break;
    case SimControl::Kind::PowerOn:
        server.PowerOn();
        break;
    case SimControl::Kind::PowerOff:
        server.PowerOff();
        break;
    case SimControl::Kind::Set:
        server.SetParam(control.name, control.value);
        break;
    case SimControl::Kind::Bad:
        error = "control: expected on, off or set NAME=value, not '" + std::string(line) + "'";
        return false;
    }
    return true;
}

} // namespace m845::devsim
