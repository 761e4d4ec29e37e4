#include "app/options.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <gtest/gtest.h>

namespace m845 {
namespace {

struct OptionCase
{
    const char *name;
    std::vector<std::string> args;
    bool skipSingleDash;
    const char *error; // the start of the error, or "" when understood
    bool help, version;
    int chinese; // -1 not given, 0 en, 1 zh
};

TEST(Options, ParseTable)
{
    const std::vector<OptionCase> cases{
        {"nothing", {}, true, "", false, false, -1},
        {"help", {"--help"}, true, "", true, false, -1},
        {"short help", {"-h"}, false, "", true, false, -1},
        {"version", {"--version"}, true, "", false, true, -1},
        {"lang zh", {"--lang", "zh"}, true, "", false, false, 1},
        {"lang=en", {"--lang=en"}, true, "", false, false, 0},
        {"lang missing", {"--lang"}, true, "option '--lang' needs", false, false, -1},
        {"lang bad", {"--lang", "fr"}, true, "option '--lang' takes zh or en", false, false, -1},
        {"unknown long", {"--frobnicate"}, true, "unknown option '--frobnicate'", false, false, -1},
        {"unknown with value", {"--x=1"}, true, "unknown option '--x'", false, false, -1},
        // clang-format off
        {"qt option with value", {"-platform", "offscreen", "--lang", "zh"}, true, "", false, false, 1},
        {"qt flag left to qt", {"-reverse", "--lang", "en"}, true, "", false, false, 0},
        {"single dash after qt", {"-bogus"}, false, "unexpected argument '-bogus'", false, false, -1},
        // clang-format on
        {"positional", {"file.ini"}, true, "unexpected argument 'file.ini'", false, false, -1},
    };
    for (const OptionCase &c : cases) {
        SCOPED_TRACE(c.name);
        const TParseResult r = ParseOptions(c.args, c.skipSingleDash);
        EXPECT_EQ(r.error.rfind(c.error, 0), 0U) << r.error;
        EXPECT_EQ(r.error.empty(), std::string(c.error).empty()) << r.error;
        if (!r.error.empty())
            continue;
        EXPECT_EQ(r.options.help, c.help);
        EXPECT_EQ(r.options.version, c.version);
        EXPECT_EQ(r.options.chinese.has_value() ? static_cast<int>(*r.options.chinese) : -1,
                  c.chinese);
    }
}

#ifdef M845TOOL_PATH
struct RunResult
{
    int exitCode = -1;
    std::string out;
};

// The program is run without a display: these answers must not need one.
RunResult RunProgram(const std::string &args)
{
    RunResult result;
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "
                                + std::string(M845TOOL_PATH) + " " + args + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(Program, AnswersVersionHelpAndBadOptionsWithoutADisplay)
{
    const RunResult version = RunProgram("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, VersionLine());
    const RunResult help = RunProgram("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--lang zh|en"), std::string::npos) << help.out;
    const RunResult bad = RunProgram("--no-such-option");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.out.find("unknown option '--no-such-option'"), std::string::npos) << bad.out;
}
#endif

} // namespace
} // namespace m845
