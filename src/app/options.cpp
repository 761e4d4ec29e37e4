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

} // namespace

TParseResult ParseOptions(const std::vector<std::string> &args, bool skipSingleDash)
{
    TParseResult result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "-h" || arg == "--help") {
            result.options.help = true;
            continue;
        }
        if (arg == "-V" || arg == "--version") {
            result.options.version = true;
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
        if (name == "--lang") {
            if (!TakeValue(args, i, inlineValue, hasInline, value)) {
                result.error = "option '--lang' needs a value: zh or en";
                return result;
            }
            if (value != "zh" && value != "en") {
                result.error = "option '--lang' takes zh or en, not '" + value + "'";
                return result;
            }
            result.options.chinese = value == "zh";
            continue;
        }
        result.error = "unknown option '" + name + "'";
        return result;
    }
    return result;
}

std::string HelpText(const std::string &program)
{
    return "Usage: " + program
           + " [options]\n"
             "Configures a ZLM-M845 cellular modem over a serial port.\n"
             "\n"
             "Options:\n"
             "  --lang zh|en     show the window in Chinese or English for this run\n"
             "  -V, --version    print the program's name and version and exit\n"
             "  -h, --help       print this help and exit\n"
             "\n"
             "Qt's own options (for example -platform offscreen) are accepted too.\n";
}

std::string VersionLine()
{
    return "m845tool " + ProgramVersionText() + "\n";
}

} // namespace m845
