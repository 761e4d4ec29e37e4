#include "app/options.h"

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

// The provisioning options go together: a port with exactly one of --read and --write.
std::string CheckProvisioning(const TOptions &o)
{
    const bool read = !o.readFile.empty();
    const bool write = !o.writeFile.empty();
    if (read && write)
        return "options '--read' and '--write' cannot be used together";
    if ((read || write) && o.port.empty())
        return std::string("option '") + (read ? "--read" : "--write") + "' needs '--port PORT'";
    if (read || write)
        return {};
    const char *alone = !o.port.empty()    ? "--port"
                        : o.baud           ? "--baud"
                        : o.timeoutSeconds ? "--timeout"
                        : o.quiet          ? "--quiet"
                        : o.pauseMs        ? "--pause-ms"
                        : o.replyMs        ? "--reply-ms"
                                           : nullptr;
    if (alone != nullptr)
        return std::string("option '") + alone + "' needs '--read FILE' or '--write FILE'";
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
            o.port = value;
        } else if (name == "--read" || name == "--write") {
            if (!take("a FILE"))
                return result;
            (name == "--read" ? o.readFile : o.writeFile) = value;
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

std::string HelpText(const std::string &program)
{
    return "Usage: " + program
           + " [options]\n"
             "Configures a ZLM-M845 cellular modem over a serial port.\n"
             "\n"
             "Options:\n"
             "  --lang zh|en     show the window (or the progress lines) in Chinese or English\n"
             "  -V, --version    print the program's name and version and exit\n"
             "  -h, --help       print this help and exit\n"
             "\n"
             "Setting up devices without the window:\n"
             "  --port PORT      the device's port: ttyUSB0, a /dev/serial/by-id name or a path\n"
             "  --read FILE      query all parameters and save them in FILE (configuration form)\n"
             "  --write FILE     set the parameters of FILE, read them back and compare\n"
             "  --baud N         the PC's baud rate (default: the file's for --write, else "
             "115200)\n"
             "  --timeout S      give up after S seconds (default "
           + std::to_string(kDefaultTimeoutSeconds)
           + ")\n"
             "  --quiet          no progress lines on standard error\n"
             "Each difference is listed on standard output as 'NAME: wrote X, device has Y'.\n"
             "Exit status: 0 done, 1 refused, different or unread values, 2 usage or file\n"
             "error (nothing sent), 3 the port cannot be opened, 4 the device does not answer,\n"
             "5 the run was cut off after it started (the message says what the device holds).\n"
             "\n"
             "Qt's own options (for example -platform offscreen) are accepted too.\n";
}

std::string VersionLine()
{
    return "m845tool " + ProgramVersionText() + "\n";
}

} // namespace m845
