#include "app/options.h"

#include <utility>

#include "support/version.h"

namespace m845 {

namespace {

// "--name=value" or "--name value"; false when the value is missing.
bool TakeValue(const std::vector<std::string> &args, std::size_t &i, const std::string &inline_,
               bool hasInline, std::string &value)
{
    if (hasInline) {
        value = inline_;
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}

// Qt's own options that take the next argument as their value.
bool QtOptionWithValue(const std::string &arg)
{
    for (const char *name :
         {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
          "-qwindowicon", "-qwindowtitle", "-style", "-stylesheet", "-session", "-display",
          "-geometry", "-name", "-title", "-visual", "-graphicssystem"}) {
        if (arg == name)
            return true;
    }
    return false;
}

// A whole number in [low, high], digits only.
bool ParseWholeNumber(const std::string &text, int low, int high, int &out)
{
    if (text.empty() || text.size() > 9
        || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int n = std::stoi(text);
    if (n < low || n > high)
        return false;
    out = n;
    return true;
}

bool IsFolder(const std::string &target)
{
    return !target.empty() && target.back() == '/';
}

// The provisioning options go together: ports with at most one of --read, --write and
// --verify, and --firmware, or these alone.
std::string CheckProvisioning(const TOptions &o)
{
    const std::pair<const char *, bool> jobs[] = {{"--read", !o.readFile.empty()},
                                                  {"--write", !o.writeFile.empty()},
                                                  {"--verify", !o.verifyFile.empty()}};
    const char *job = nullptr;
    for (const auto &[name, given] : jobs) {
        if (!given)
            continue;
        if (job != nullptr)
            return std::string("options '") + job + "' and '" + name + "' cannot be used together";
        job = name;
    }
    const bool firmware = !o.firmwareFile.empty();
    const char *needsPort = job != nullptr          ? job
                            : firmware              ? "--firmware"
                            : !o.reportFile.empty() ? "--report"
                            : o.station             ? "--station"
                            : o.expectVersion       ? "--expect-version"
                                                    : nullptr;
    if (needsPort != nullptr && o.ports.empty())
        return std::string("option '") + needsPort + "' needs '--port PORT'";
    if (job == nullptr && !firmware) {
        const char *alone = !o.ports.empty()        ? "--port"
                            : o.baud                ? "--baud"
                            : o.timeoutSeconds      ? "--timeout"
                            : o.quiet               ? "--quiet"
                            : o.pauseMs             ? "--pause-ms"
                            : o.replyMs             ? "--reply-ms"
                            : o.probeMs             ? "--probe-ms"
                            : !o.reportFile.empty() ? "--report"
                            : o.station             ? "--station"
                            : o.expectVersion       ? "--expect-version"
                                                    : nullptr;
        if (alone != nullptr)
            return std::string("option '") + alone
                   + "' needs '--read FILE', '--write FILE', '--verify FILE' or '--firmware "
                     "IMAGE'";
        return {};
    }
    if (o.station && o.ports.size() > 1)
        return "option '--station' takes one '--port'";
    if (!o.readFile.empty() && !IsFolder(o.readFile) && (o.station || o.ports.size() > 1))
        return "with several ports or '--station', '--read' takes a folder, each device's file "
               "named by its identity: --read DIR/";
    return {};
}

} // namespace

TParseResult ParseOptions(const std::vector<std::string> &args, bool skipSingleDash)
{
    TParseResult result;
    TOptions &o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        if (arg == "-V" || arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (arg == "--station") {
            o.station = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (skipSingleDash && arg.size() > 1 && arg[0] == '-') {
                if (QtOptionWithValue(arg))
                    ++i;
                continue;
            }
            result.error = "unexpected argument '" + arg + "'";
            return result;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool hasInline = equals != std::string::npos;
        const std::string inlineValue = hasInline ? arg.substr(equals + 1) : std::string();
        std::string value;
        // An option's value never starts with "--": that is the next option, so the value is
        // missing (a file of such a name can be given as ./--name).
        const auto take = [&](const char *what) {
            if (TakeValue(args, i, inlineValue, hasInline, value) && !value.empty()
                && value.rfind("--", 0) != 0)
                return true;
            result.error = "option '" + name + "' needs " + what;
            return false;
        };
        const auto number = [&](std::optional<int> &target, int low, int high) {
            if (!take("a number"))
                return false;
            int n = 0;
            if (!ParseWholeNumber(value, low, high, n)) {
                result.error = "option '" + name + "' takes a whole number from "
                               + std::to_string(low) + " to " + std::to_string(high) + ", not '"
                               + value + "'";
                return false;
            }
            target = n;
            return true;
        };
        if (name == "--lang") {
            if (!take("a value: zh or en"))
                return result;
            if (value != "zh" && value != "en") {
                result.error = "option '--lang' takes zh or en, not '" + value + "'";
                return result;
            }
            o.chinese = value == "zh";
        } else if (name == "--port") {
            if (!take("a port: ttyUSB0, a /dev/serial/by-id name or a path"))
                return result;
            o.ports.push_back(value);
            // A shell pattern (--port /dev/serial/by-id/*) gives the ports one after another.
            while (!hasInline && i + 1 < args.size() && !args[i + 1].empty()
                   && args[i + 1][0] != '-')
                o.ports.push_back(args[++i]);
        } else if (name == "--read" || name == "--write" || name == "--verify") {
            if (!take("a FILE"))
                return result;
            (name == "--read"    ? o.readFile
             : name == "--write" ? o.writeFile
                                 : o.verifyFile)
                = value;
        } else if (name == "--report") {
            if (!take("a FILE"))
                return result;
            o.reportFile = value;
        } else if (name == "--firmware") {
            if (!take("an IMAGE file"))
                return result;
            o.firmwareFile = value;
        } else if (name == "--expect-version") {
            if (!take("a version as the device reports it"))
                return result;
            o.expectVersion = value;
        } else if (name == "--prefix") {
            if (!take("a name"))
                return result;
            o.prefix = value;
        } else if (name == "--probe-ms") {
            if (!number(o.probeMs, 1, 600000))
                return result;
        } else if (name == "--baud") {
            if (!number(o.baud, 1, 4000000))
                return result;
        } else if (name == "--timeout") {
            if (!number(o.timeoutSeconds, 1, 86400))
                return result;
        } else if (name == "--pause-ms") {
            if (!number(o.pauseMs, 0, 60000))
                return result;
        } else if (name == "--reply-ms") {
            if (!number(o.replyMs, 1, 600000))
                return result;
        } else {
            result.error = "unknown option '" + name + "'";
            return result;
        }
    }
    if (!o.help && !o.version)
        result.error = CheckProvisioning(o);
    return result;
}

std::vector<std::string> ChildArguments(const TOptions &o, const std::string &port,
                                        const std::string &prefix)
{
    // "--name=value": a value may start with a dash there.
    std::vector<std::string> args;
    const auto add = [&args](const char *name, const std::string &value) {
        if (!value.empty())
            args.push_back(std::string(name) + "=" + value);
    };
    const auto number = [&add](const char *name, const std::optional<int> &value) {
        if (value)
            add(name, std::to_string(*value));
    };
    if (o.chinese)
        add("--lang", *o.chinese ? "zh" : "en");
    add("--port", port);
    add("--read", o.readFile);
    add("--write", o.writeFile);
    add("--verify", o.verifyFile);
    add("--firmware", o.firmwareFile);
    if (o.expectVersion)
        add("--expect-version", *o.expectVersion);
    add("--report", o.reportFile);
    number("--baud", o.baud);
    number("--timeout", o.timeoutSeconds);
    number("--pause-ms", o.pauseMs);
    number("--reply-ms", o.replyMs);
    number("--probe-ms", o.probeMs);
    if (o.quiet)
        args.emplace_back("--quiet");
    add("--prefix", prefix);
    return args;
}

std::string HelpText(const std::string &program)
{
    return "Usage: " + program
           + " [options]\n"
             "Configures a ZLM-M845 cellular modem over a serial port.\n"
             "\n"
             "Options:\n"
             "  --lang zh|en        show the window (or the progress lines) in Chinese or English\n"
             "  -V, --version       print the program's name and version and exit\n"
             "  -h, --help          print this help and exit\n"
             "\n"
             "Setting up devices without the window:\n"
             "  --port PORT...      the device's port: ttyUSB0, a /dev/serial/by-id name or a\n"
             "                      path; several ports (or a pattern) run in parallel\n"
             "  --read FILE|DIR/    query all parameters and save them in FILE (configuration\n"
             "                      form); DIR/ names each device's file by its identity\n"
             "  --write FILE        set the parameters of FILE, read them back and compare\n"
             "  --verify FILE       read what FILE would set and compare, writing nothing\n"
             "  --firmware IMAGE    upgrade the firmware first (power the device with Reload\n"
             "                      held), then run --write or --verify when given\n"
             "  --expect-version V  fail a device whose VER answer is not V\n"
             "  --report FILE       append one row per device and run (CSV, or JSON lines for\n"
             "                      a name ending in .jsonl)\n"
             "  --station           one port, devices one after another, until Ctrl+C\n"
             "  --baud N            the PC's baud rate (default: the file's for --write and\n"
             "                      --verify, else 115200)\n"
             "  --timeout S         give up on a device after S seconds (default "
           + std::to_string(kDefaultTimeoutSeconds) + ", "
           + std::to_string(kDefaultFirmwareTimeoutSeconds)
           + " with --firmware)\n"
             "  --quiet             no progress lines on standard error\n"
             "Each difference is listed on standard output as 'NAME: wrote X, device has Y'.\n"
             "Exit status: 0 done, 1 refused, different or unread values, 2 usage or file\n"
             "error (nothing sent), 3 the port cannot be opened, 4 the device does not answer,\n"
             "5 the run was cut off after it started (the message says what the device holds).\n"
             "Several ports exit with the worst of their runs; --station with 0 when every\n"
             "device passed, else 1.\n"
             "\n"
             "Qt's own options (for example -platform offscreen) are accepted too.\n";
}

std::string VersionLine()
{
    return "m845tool " + ProgramVersionText() + "\n";
}

} // namespace m845
