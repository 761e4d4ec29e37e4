// Several ports at once without a device: the checks before any run, the children's ends as the
// parent counts them, the worst exit code, and where a read into a folder puts each device.

#include "provision/batch.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/file_text.h"
#include "common/test_folder.h"
#include "lang/langlist.h"
#include "provision/report.h"
#include "provision/runinput.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

class BatchTest : public testing::Test
{
protected:
    void SetUp() override
    {
        InitBuiltInLanguage(false);
        m_dir = test::FreshTestFolder("m845-batch");
    }
    void TearDown() override
    {
        fs::remove_all(m_dir);
        ReleaseLanguage();
    }
    fs::path m_dir;
};

TEST_F(BatchTest, TheWorstRunDecidesTheExitCode)
{
    const struct
    {
        std::vector<int> codes;
        int worst;
    } cases[] = {
        {{}, 0},        {{0, 0, 0}, 0}, {{0, 1, 0}, 1}, {{3, 1}, 3},        {{1, 4, 3}, 4},
        {{4, 5, 0}, 5}, {{2, 1}, 2},    {{5, 2}, 5},    {{0, 127, 5}, 127}, // a code no run gives
                                                                            // (a crash's) is worse
                                                                            // than all
    };
    for (const auto &c : cases)
        EXPECT_EQ(WorstExit(c.codes), c.worst) << testing::PrintToString(c.codes);
}

TEST_F(BatchTest, PortsGivenTwiceOrPatternsThatMatchedNothingAreRefused)
{
    const std::string tty = (m_dir / "ttyUSB0").string();
    std::ofstream(tty) << "";
    fs::create_symlink(tty, m_dir / "usb-FTDI-if00");
    const struct
    {
        std::vector<std::string> ports;
        const char *error;
    } cases[] = {
        {{tty, (m_dir / "ttyUSB1").string()}, ""},
        {{tty, tty}, "is given twice"},
        // The same device under its stable name.
        {{tty, (m_dir / "usb-FTDI-if00").string()}, "is given twice"},
        {{(m_dir / "by-id" / "*").string()}, "No port matches"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.ports));
        const std::string error = CheckPorts(c.ports);
        EXPECT_EQ(error.empty(), std::string(c.error).empty()) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    EXPECT_EQ(PortShortName("/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0"),
              "usb-FTDI_A50285BI-if00-port0");
    EXPECT_EQ(PortShortName("ttyUSB0"), "ttyUSB0");
}

TEST_F(BatchTest, AChildEndedFromOutsideGetsItsRowFromTheParentTheOthersWriteTheirOwn)
{
    const std::string report = (m_dir / "day.csv").string();
    ASSERT_TRUE(PrepareReport(report).ok);
    // Children that exit write their rows themselves; this one is killed before it could.
    const std::vector<std::string> ports{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"};
    const std::vector<std::vector<std::string>> args{
        {"-c", "exit 0"}, {"-c", "kill -KILL $$"}, {"-c", "exit 1"}};
    std::ostringstream progress;
    EXPECT_EQ(RunPortsInParallel("/bin/sh", ports, args, report, false, progress), 5);
    EXPECT_EQ(progress.str(), "ttyUSB1: The run was stopped by signal 9 (Killed)\n"
                              "ttyUSB0: PASS\n"
                              "ttyUSB1: FAIL (exit 5)\n"
                              "ttyUSB2: FAIL (exit 1)\n"
                              "1 passed, 2 failed\n");
    const std::string text = ReadFile(report);
    EXPECT_EQ(text.rfind(std::string(kReportHeader) + "\n", 0), 0U) << text;
    EXPECT_NE(
        text.find(",/dev/ttyUSB1,,,,,,FAIL,The run was stopped by signal 9 (Killed) (exit 5),"),
        std::string::npos)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);

    const std::vector<TChildEnd> none = RunChildren((m_dir / "absent").string(), {{}});
    ASSERT_EQ(none.size(), 1U);
    EXPECT_EQ(none[0].exitCode, -1);
    EXPECT_FALSE(none[0].startError.empty());
}

TEST_F(BatchTest, AReadIntoAFolderNamesEachFileByTheIdentityAndNothingElse)
{
    const std::string folder = m_dir.string() + "/";
    const struct
    {
        const char *identity;
        std::string file;
    } cases[] = {
        {"866714041234567", folder + "866714041234567.ini"},
        {"../../etc/passwd", folder + "_._.._etc_passwd.ini"},
        {".hidden", folder + "_hidden.ini"},
        {"a b\x1B", folder + "a_b_.ini"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FileForIdentity(folder, c.identity), c.file) << c.identity;
    EXPECT_EQ(CheckReadTarget(folder), "");
    EXPECT_NE(CheckReadTarget(folder + "absent/").find("Cannot write into the folder"),
              std::string::npos);
    EXPECT_NE(CheckReadTarget(m_dir.string()).find("Unable to write to"), std::string::npos);
    EXPECT_EQ(CheckReadTarget((m_dir / "new.ini").string()), "");
}

} // namespace
} // namespace m845
