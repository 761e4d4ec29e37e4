#include "app/options.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/file_text.h"
#include "devsim/simserver.h"

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
    std::vector<std::string> ports = {};
    std::string read = {}, write = {};
    int baud = -1, timeout = -1;
    bool quiet = false;
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
        // clang-format off
        {"read", {"--port", "ttyUSB0", "--read", "a.ini"}, true, "", false, false, -1,
         {"ttyUSB0"}, "a.ini", ""},
        {"write with all", {"--port=/dev/serial/by-id/x", "--write", "b.ini", "--baud", "9600",
         "--timeout=5", "--quiet", "--lang", "zh"}, true, "", false, false, 1,
         {"/dev/serial/by-id/x"}, "", "b.ini", 9600, 5, true},
        {"read and write", {"--port", "p", "--read", "a", "--write", "b"}, true,
         "options '--read' and '--write' cannot be used together", false, false, -1},
        {"read without port", {"--read", "a.ini"}, true, "option '--read' needs '--port PORT'",
         false, false, -1},
        {"port alone", {"--port", "p"}, true, "option '--port' needs '--read FILE'", false, false,
         -1},
        {"file missing at end", {"--port", "p", "--read"}, true, "option '--read' needs a FILE",
         false, false, -1},
        {"file missing before option", {"--port", "p", "--write", "--quiet"}, true,
         "option '--write' needs a FILE", false, false, -1},
        {"baud not a number", {"--port", "p", "--read", "f", "--baud", "fast"}, true,
         "option '--baud' takes a whole number", false, false, -1},
        // Several ports: repeated, or as a shell pattern expands them after one --port.
        {"ports of a pattern", {"--port", "/dev/a", "/dev/b", "--port=c", "--write", "f"}, true, "",
         false, false, -1, {"/dev/a", "/dev/b", "c"}, "", "f"},
        {"inline port takes one", {"--port=a", "b", "--write", "f"}, true,
         "unexpected argument 'b'", false, false, -1},
        {"read one file from two ports", {"--port", "a", "b", "--read", "f.ini"}, true,
         "with several ports or '--station', '--read' takes a folder", false, false, -1},
        {"read into a folder", {"--port", "a", "b", "--read", "out/"}, true, "", false, false, -1,
         {"a", "b"}, "out/", ""},
        {"station of two ports", {"--station", "--port", "a", "b", "--write", "f"}, true,
         "option '--station' takes one '--port'", false, false, -1},
        {"write and verify", {"--port", "a", "--write", "f", "--verify", "g"}, true,
         "options '--write' and '--verify' cannot be used together", false, false, -1},
        {"report without port", {"--report", "r.csv"}, true,
         "option '--report' needs '--port PORT'", false, false, -1},
        {"report without job", {"--port", "a", "--report", "r.csv"}, true,
         "option '--port' needs '--read FILE', '--write FILE', '--verify FILE' or '--firmware",
         false, false, -1},
        {"firmware alone", {"--port", "a", "--firmware", "fw.bin"}, true, "", false, false, -1,
         {"a"}},
        // clang-format on
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
        EXPECT_EQ(r.options.ports, c.ports);
        EXPECT_EQ(r.options.readFile, c.read);
        EXPECT_EQ(r.options.writeFile, c.write);
        EXPECT_EQ(r.options.baud.value_or(-1), c.baud);
        EXPECT_EQ(r.options.timeoutSeconds.value_or(-1), c.timeout);
        EXPECT_EQ(r.options.quiet, c.quiet);
    }
}

TEST(Options, ARunOfOneOfSeveralPortsGetsTheSameOptionsWithItsPortAlone)
{
    const TParseResult all = ParseOptions(
        {"--lang",     "zh",        "--port",     "a",          "b",          "--verify",
         "v.ini",      "--report",  "r.csv",      "--firmware", "fw.bin",     "--expect-version",
         "-V2",        "--timeout", "9",          "--quiet",    "--baud",     "9600",
         "--pause-ms", "5",         "--reply-ms", "400",        "--probe-ms", "300"},
        false);
    ASSERT_EQ(all.error, "");
    const TParseResult child = ParseOptions(ChildArguments(all.options, "b", "b"), false);
    ASSERT_EQ(child.error, "");
    TOptions expected = all.options;
    expected.ports = {"b"};
    expected.prefix = "b";
    const TOptions &o = child.options;
    EXPECT_EQ(o.ports, expected.ports);
    EXPECT_EQ(o.prefix, expected.prefix);
    EXPECT_EQ(o.chinese, expected.chinese);
    EXPECT_EQ(o.verifyFile, expected.verifyFile);
    EXPECT_EQ(o.reportFile, expected.reportFile);
    EXPECT_EQ(o.firmwareFile, expected.firmwareFile);
    EXPECT_EQ(o.expectVersion, expected.expectVersion);
    EXPECT_EQ(o.timeoutSeconds, expected.timeoutSeconds);
    EXPECT_EQ(o.baud, expected.baud);
    EXPECT_EQ(o.quiet, expected.quiet);
    EXPECT_EQ(o.pauseMs, expected.pauseMs);
    EXPECT_EQ(o.replyMs, expected.replyMs);
    EXPECT_EQ(o.probeMs, expected.probeMs);
}

#ifdef M845TOOL_PATH
namespace fs = std::filesystem;

using test::ReadFile;

struct RunResult
{
    int exitCode = -1;
    std::string out;
};

// The program is run without a display: these answers must not need one.
RunResult RunProgram(const std::string &args, const std::string &env = {})
{
    RunResult result;
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= " + env + " "
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
    EXPECT_NE(help.out.find("--write FILE"), std::string::npos) << help.out;
}

TEST(Program, ProvisioningRunsWithoutADisplayAndLeavesTheDataFolderAlone)
{
    const fs::path dir = fs::temp_directory_path() / ("m845-app-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    const std::string env = "M845_DATA_DIR=" + (dir / "data").string();
    devsim::SimServer sim{devsim::SimOptions{}};
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const std::string file = (dir / "device.ini").string();
    const RunResult read = RunProgram("--lang en --port " + sim.SlavePath() + " --read " + file
                                          + " --pause-ms 5 --reply-ms 400",
                                      env);
    EXPECT_EQ(read.exitCode, 0) << read.out;
    EXPECT_NE(read.out.find("Operation complete"), std::string::npos) << read.out;
    // Not a terminal: no colours.
    EXPECT_EQ(read.out.find('\033'), std::string::npos) << read.out;
    EXPECT_NE(ReadFile(file).find("WKMOD=NET"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir / "data"));
    fs::remove_all(dir);
}
#endif

} // namespace
} // namespace m845
