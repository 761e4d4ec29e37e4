#include "devsim/simcli.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>

namespace m845::devsim {

namespace {

bool ToNumber(const std::string &text, long long &value)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// "VER,wkmod" -> {"VER", "WKMOD"}; false on an empty name.
bool AddNames(const std::string &list, std::set<std::string> &names)
{
    std::string name;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        if (i == list.size() || list[i] == ',') {
            if (name.empty()) {
                return false;
            }
            names.insert(name);
            name.clear();
        } else {
            name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(list[i]))));
        }
    }
    return true;
}

// "7": a walk seeded with 7; "31,20,99": those values in turn.
bool ParseCsqWalk(const std::string &arg, const std::string &text, ModelOptions &model,
                  std::string &error)
{
    long long n = 0;
    if (text.find(',') == std::string::npos) {
        if (!ToNumber(text, n) || n < 0 || n > 0xFFFFFFFFLL) {
            error
                = arg + ": a seed from 0 to 4294967295, or CSQ values separated by commas: " + text;
            return false;
        }
        model.csqWalk = true;
        model.seed = static_cast<std::uint32_t>(n);
        return true;
    }
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        if (!ToNumber(text.substr(from, comma - from), n) || n < 0 || n > 99) {
            error = arg + ": CSQ values are numbers from 0 to 99: " + text;
            return false;
        }
        model.csqList.push_back(static_cast<int>(n));
        from = comma + 1;
    }
    return true;
}

} // namespace

std::string SimUsage()
{
    return "Usage: m845sim [options]\n"
           "A simulated M2M device on a pseudo-terminal. The first line printed is the\n"
           "line's path; the device runs until SIGINT or SIGTERM.\n"
           "\n"
           "  --link PATH         make a symbolic link PATH to the pseudo-terminal\n"
           "  --port PATH         serve an existing serial device instead\n"
           "  --state FILE        load parameters (NAME=value lines) and save after changes\n"
           "  --trace FILE        write every command line received, one per line\n"
           "  --boot              start in the boot loader\n"
           "  --reload-held       enter the boot loader at every start\n"
           "  --fw-out FILE       write each received firmware image there\n"
           "  --baud N            line rate for --baud-pace and the line settings (115200)\n"
           "  --baud-pace         send and receive at the line rate, 10 bits a byte\n"
           "  --silent-until-entry  answer nothing until \"+++\" and \"a\"\n"
           "  --mute              answer nothing at all\n"
           "  --garble            every answer as a line at another baud rate reads it\n"
           "  --err CMD,...       answer these commands with +ERR:\n"
           "  --split CMD,...     answer these commands in two bursts 100 ms apart\n"
           "  --ignore CMD,...    answer a set of these commands OK but keep the old value\n"
           "  --nak-every N       refuse every Nth XModem block once\n"
           "  --drop-after N      close the line after N received bytes\n"
           "  --powered-off       start without power: silent until switched on (--control)\n"
           "  --control           read on, off and set NAME=value lines from standard input\n"
           "  --csq-walk SEED|LIST  a signal that wanders (seeded), or the CSQ values\n"
           "                      0 to 99 to answer in turn (a comma-separated list)\n"
           "  --link-delay S      socket links come up S seconds after being enabled\n"
           "  --link-drops S      socket links drop about every S seconds\n"
           "  --help              show this text\n"
           "\n"
           "\"+++\" enters command mode only when it arrives alone, with at least 50 ms of\n"
           "silence before and after it; \"a\" must follow within 3 s of the answer \"a\".\n"
           "In data transfer every frame (closed by 50 ms of silence) is echoed back.\n";
}

CliResult ParseSimArgs(const std::vector<std::string> &args)
{
    CliResult result;
    SimOptions &o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                result.error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long long low, long long high, long long &out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!ToNumber(text, out) || out < low || out > high) {
                result.error = arg + ": not a number from " + std::to_string(low) + " to "
                               + std::to_string(high) + ": " + text;
                return false;
            }
            return true;
        };
        long long n = 0;
        std::string text;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else if (arg == "--link") {
            ok = value(o.linkPath);
        } else if (arg == "--port") {
            ok = value(o.portPath);
        } else if (arg == "--state") {
            ok = value(o.stateFile);
        } else if (arg == "--trace") {
            ok = value(o.traceFile);
        } else if (arg == "--fw-out") {
            ok = value(o.fwOutFile);
        } else if (arg == "--boot") {
            o.model.boot = true;
        } else if (arg == "--reload-held") {
            o.model.reloadHeld = true;
        } else if (arg == "--baud-pace") {
            o.baudPace = true;
        } else if (arg == "--silent-until-entry") {
            o.model.silentUntilEntry = true;
        } else if (arg == "--mute") {
            o.model.mute = true;
        } else if (arg == "--powered-off") {
            o.startPoweredOff = true;
        } else if (arg == "--control") {
            result.control = true;
        } else if (arg == "--garble") {
            o.model.garble = true;
        } else if (arg == "--baud") {
            ok = number(1, 4000000, n);
            o.baud = static_cast<int>(n);
        } else if (arg == "--nak-every") {
            ok = number(1, 1000000, n);
            o.model.nakEvery = static_cast<int>(n);
        } else if (arg == "--drop-after") {
            ok = number(0, 1LL << 40, n);
            o.dropAfter = n;
        } else if (arg == "--csq-walk") {
            ok = value(text) && ParseCsqWalk(arg, text, o.model, result.error);
        } else if (arg == "--link-delay" || arg == "--link-drops") {
            ok = number(0, 86400, n);
            (arg == "--link-delay" ? o.model.linkDelay : o.model.linkDropEvery)
                = std::chrono::seconds(n);
        } else if (arg == "--err" || arg == "--split" || arg == "--ignore") {
            ok = value(text);
            std::set<std::string> &names = arg == "--err"     ? o.model.errCommands
                                           : arg == "--split" ? o.model.splitCommands
                                                              : o.model.ignoreCommands;
            if (ok && !AddNames(text, names)) {
                result.error = arg + ": a comma-separated list of command names: " + text;
                ok = false;
            }
        } else {
            result.error = "unknown option " + arg;
            ok = false;
        }
        if (!ok) {
            return result;
        }
    }
    if (!o.portPath.empty() && !o.linkPath.empty()) {
        result.error = "--link makes no sense with --port";
    }
    return result;
}

} // namespace m845::devsim
