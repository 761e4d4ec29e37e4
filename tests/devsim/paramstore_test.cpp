#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "devsim/paramstore.h"
#include "devsim/simcli.h"

namespace m845::devsim {
namespace {

// The tool's 64 command names, in its order; the device must know every one.
constexpr const char *kToolCommands[]
    = {"H",       "E",         "Z",       "VER",     "HDVER",   "ENTM",    "SN",      "ICCID",
       "MEID",    "IMEI",      "STMSG",   "RELD",    "CLEAR",   "CFGTF",   "WKMOD",   "CMDPW",
       "UART",    "RFCEN",     "UARTFT",  "UARTFL",  "APN",     "SOCKA",   "SOCKB",   "SOCKAEN",
       "SOCKBEN", "SOCKASL",   "SOCKBSL", "SOCKALK", "SOCKBLK", "SOCKATO", "SOCKBTO", "SOCKC",
       "SOCKD",   "SOCKCEN",   "SOCKDEN", "SOCKCSL", "SOCKDSL", "SOCKCLK", "SOCKDLK", "SOCKCTO",
       "SOCKDTO", "SOCKRSTIM", "SOCKIND", "REGEN",   "REGTP",   "REGDT",   "REGSND",  "HEARTEN",
       "HEARTDT", "HEARTSND",  "HEARTTM", "HTPTP",   "HTPURL",  "HTPSV",   "HTPHD",   "HTPTO",
       "HTPFLT",  "DSTNUM",    "SMSFLT",  "SMSPH",   "CLOUD",   "CSQ",     "ID",      "RSTIM"};

TEST(ParamStoreTest, KnowsEveryCommandAndEveryValueHasAFactoryValue)
{
    const ParamStore store;
    for (const char *name : kToolCommands) {
        const CmdInfo *info = ParamStore::Find(name);
        ASSERT_NE(info, nullptr) << name;
        if (info->kind != CmdKind::Action) {
            EXPECT_FALSE(store.Get(name).empty()) << name;
        }
        // Every factory value passes the device's own check.
        if (info->kind == CmdKind::Param) {
            EXPECT_FALSE(store.Check(name, store.Get(name)).has_value()) << name;
        }
    }
    EXPECT_NE(ParamStore::Find("SMSEND"), nullptr);
    EXPECT_NE(ParamStore::Find("reboot"), nullptr);
    EXPECT_EQ(ParamStore::Find("CNUM"), nullptr);
}

struct ValueCase
{
    const char *name;
    const char *value;
    bool accepted;
};

void PrintTo(const ValueCase &c, std::ostream *os)
{
    *os << c.name << '=' << c.value;
}

class ValueCheckTest : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(ValueCheckTest, RefusesWhatTheDeviceWouldRefuse)
{
    const ParamStore store;
    const auto err = store.Check(GetParam().name, GetParam().value);
    EXPECT_EQ(!err.has_value(), GetParam().accepted) << GetParam().name << "=" << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueCheckTest,
    ::testing::Values(
        ValueCase{"WKMOD", "NET", true}, ValueCase{"WKMOD", "HTTPD", true},
        ValueCase{"WKMOD", "SMS", true}, ValueCase{"WKMOD", "UDC", true},
        ValueCase{"WKMOD", "SMS2", false}, ValueCase{"WKMOD", "", false},
        ValueCase{"E", "ON", true}, ValueCase{"E", "on", false},
        ValueCase{"UART", "115200,8,1,NONE", true}, ValueCase{"UART", "115200,8,1,NONE,NFC", true},
        ValueCase{"UART", "115200,8,1", false}, ValueCase{"UART", "12345,8,1,NONE", false},
        ValueCase{"SOCKA", "UDP,192.168.0.7,502", true}, ValueCase{"SOCKA", "TCP,host,0", false},
        ValueCase{"SOCKA", "TCP,host,65536", false}, ValueCase{"SOCKA", "SCTP,host,80", false},
        ValueCase{"SOCKASL", "SHORT", true}, ValueCase{"SOCKASL", "MEDIUM", false},
        ValueCase{"SOCKATO", "", false}, ValueCase{"UARTFT", "9", false},
        ValueCase{"UARTFL", "4096", true}, ValueCase{"UARTFL", "4097", false},
        ValueCase{"REGTP", "IMEI", true}, ValueCase{"REGTP", "REGDT", false},
        ValueCase{"REGDT", "6162", true}, ValueCase{"REGDT", "616", false},
        ValueCase{"REGDT", "xy", false}, ValueCase{"REGSND", "LINK&DATA", false},
        ValueCase{"HEARTSND", "COM", true}, ValueCase{"HTPTP", "PUT", false},
        ValueCase{"HTPSV", "www.example.com,80", true},
        ValueCase{"HTPSV", "www.example.com", false}, ValueCase{"CLOUD", "123,456", true},
        ValueCase{"CLOUD", "123", false}, ValueCase{"DSTNUM", "+8610086", true},
        ValueCase{"DSTNUM", "100 86", false}, ValueCase{"APN", "CMNET,,,0", true},
        ValueCase{"APN", "", false}, ValueCase{"STMSG", "", true}, ValueCase{"CMDPW", "", false},
        ValueCase{"RSTIM", "1800", true}, ValueCase{"RSTIM", "59", false},
        ValueCase{"HTPURL", "/1.php[3F]", true}));

class StateFileTest : public ::testing::Test
{
protected:
    void TearDown() override { std::filesystem::remove(path); }
    std::string path = (std::filesystem::temp_directory_path()
                        / ("devsim_state_" + std::to_string(::getpid()) + ".txt"))
                           .string();
};

TEST_F(StateFileTest, SavesEveryValueAndLoadsPresetsUnchecked)
{
    ParamStore store;
    ASSERT_TRUE(store.Set("WKMOD", "UDC") == std::nullopt);
    std::string error;
    ASSERT_TRUE(store.SaveFile(path, error)) << error;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\nWKMOD=UDC\n"), std::string::npos);
    EXPECT_TRUE(text.str().starts_with("E=ON\n"));

    {
        std::ofstream out(path, std::ios::trunc);
        out << "# preset\r\nVER=V1.0.5\r\nsocka=TCP,my host,80\n\nHEARTDT=\n";
    }
    ParamStore loaded;
    ASSERT_TRUE(loaded.LoadFile(path, error)) << error;
    EXPECT_EQ(loaded.Get("VER"), "V1.0.5");
    EXPECT_EQ(loaded.Get("SOCKA"), "TCP,my host,80");
    EXPECT_EQ(loaded.Get("HEARTDT"), "");
    EXPECT_EQ(loaded.Get("WKMOD"), "NET"); // not in the file: factory value
}

TEST_F(StateFileTest, ABadLineIsReportedWithItsNumber)
{
    {
        std::ofstream out(path, std::ios::trunc);
        out << "E=ON\nNOTANAME=1\n";
    }
    ParamStore store;
    std::string error;
    EXPECT_FALSE(store.LoadFile(path, error));
    EXPECT_NE(error.find(":2: unknown parameter NOTANAME"), std::string::npos) << error;
    {
        std::ofstream out(path, std::ios::trunc);
        out << "just text\n";
    }
    EXPECT_FALSE(store.LoadFile(path, error));
    EXPECT_NE(error.find(":1:"), std::string::npos) << error;
}

TEST(SimCliTest, ParsesEveryOptionAndRejectsBadOnes)
{
    const CliResult ok = ParseSimArgs({"--link",       "/tmp/x",
                                       "--state",      "s",
                                       "--trace",      "t",
                                       "--boot",       "--reload-held",
                                       "--fw-out",     "f",
                                       "--baud",       "9600",
                                       "--baud-pace",  "--silent-until-entry",
                                       "--err",        "ver,WKMOD",
                                       "--split",      "E",
                                       "--ignore",     "sockato",
                                       "--nak-every",  "3",
                                       "--drop-after", "100"});
    ASSERT_TRUE(ok.error.empty()) << ok.error;
    const SimOptions &o = ok.options;
    EXPECT_EQ(o.linkPath, "/tmp/x");
    EXPECT_EQ(o.stateFile, "s");
    EXPECT_EQ(o.traceFile, "t");
    EXPECT_EQ(o.fwOutFile, "f");
    EXPECT_TRUE(o.model.boot && o.model.reloadHeld && o.baudPace && o.model.silentUntilEntry);
    EXPECT_EQ(o.baud, 9600);
    EXPECT_EQ(o.model.errCommands, (std::set<std::string>{"VER", "WKMOD"}));
    EXPECT_EQ(o.model.splitCommands, std::set<std::string>{"E"});
    EXPECT_EQ(o.model.ignoreCommands, std::set<std::string>{"SOCKATO"});
    EXPECT_EQ(o.model.nakEvery, 3);
    EXPECT_EQ(o.dropAfter, 100);
    EXPECT_TRUE(ParseSimArgs({"--help"}).help);
    const CliResult walk = ParseSimArgs({"--csq-walk", "7", "--link-delay", "5", "--link-drops", "60"});
    EXPECT_TRUE(walk.options.model.csqWalk);
    EXPECT_EQ(walk.options.model.seed, 7U);
    EXPECT_EQ(walk.options.model.linkDelay, std::chrono::seconds(5));
    EXPECT_EQ(walk.options.model.linkDropEvery, std::chrono::seconds(60));
    EXPECT_EQ(ParseSimArgs({"--csq-walk", "31,0,99"}).options.model.csqList,
              (std::vector{31, 0, 99}));

    for (const auto &bad :
         std::vector<std::vector<std::string>>{{"--baud"},
                                               {"--baud", "fast"},
                                               {"--nak-every", "0"},
                                               {"--err", "VER,,E"},
                                               {"--ignore", ""},
                                               {"--drop-after", "-1"},
                                               {"--csq-walk", "x"},
                                               {"--csq-walk", "31,100"},
                                               {"--csq-walk", "31,"},
                                               {"--link-delay", "-2"},
                                               {"--bogus"},
                                               {"--port", "/dev/ttyS0", "--link", "x"}}) {
        EXPECT_FALSE(ParseSimArgs(bad).error.empty()) << bad.front();
    }
}

} // namespace
} // namespace m845::devsim
