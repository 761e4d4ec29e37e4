// Provisioning runs against simulated devices: a device read into a file and the file written
// into a second device, refusals, differences, bad input, an absent port and a silent line; a
// verification, a read into a folder, and a firmware upgrade before the write.

#include "common/file_text.h"
#include "ui/provision/provisioning.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "common/fake_tool.h"
#include "common/quiet_log.h"
#include "common/scoped_env.h"
#include "config/config.h"
#include "config/inifile.h"
#include "devsim/devsim_testutil.h"
#include "devsim/simserver.h"
#include "firmware/fw_testdata.h"
#include "lang/langlist.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "serial/pty_pair.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;
using TAction = TProvisionRequest::TAction;

using test::ReadFile;
using test::TFakePanel;
using test::TFakeTool;
using test::TQuietLog;

class ProvisioningTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
                / ("m845-prov-" + std::to_string(::getpid()) + "-"
                   + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "data");
        // The window's own files, which no run may touch.
        std::ofstream(m_dir / "data" / "M845Cfg.ini") << "[WKMOD]\nWKMOD=SMS\n";
        m_dataDir.emplace("M845_DATA_DIR", (m_dir / "data").string());
    }
    void TearDown() override
    {
        EXPECT_EQ(ReadFile(m_dir / "data" / "M845Cfg.ini"), "[WKMOD]\nWKMOD=SMS\n");
        EXPECT_FALSE(fs::exists(m_dir / "data" / std::string(kLangFileName)));
        // The run leaves no language list behind for the next test.
        EXPECT_EQ(LangList(), nullptr);
        m_dataDir.reset();
        fs::remove_all(m_dir);
    }

    // Short pauses keep the runs quick; the device's timing is the simulator's business.
    int Run(TAction action, const std::string &port, const fs::path &file, bool chinese = false,
            int settleMs = 100, int replyMs = 400)
    {
        return Run(Request(action, port, file, chinese, settleMs, replyMs));
    }
    TProvisionRequest Request(TAction action, const std::string &port, const fs::path &file,
                              bool chinese = false, int settleMs = 100, int replyMs = 400) const
    {
        TProvisionRequest request;
        request.action = action;
        request.port = port;
        request.file = file.string();
        request.timeoutSeconds = m_timeoutSeconds;
        request.chinese = chinese;
        request.pauseMs = 5;
        request.replyMs = replyMs;
        request.settleMs = settleMs;
        request.probeMs = 300;
        return request;
    }
    int Run(const TProvisionRequest &request)
    {
        m_progress.str({});
        m_result.str({});
        TProvisioning run(request, m_progress, m_result);
        return run.Run();
    }
    static std::unique_ptr<devsim::SimServer>
    StartSim(const std::map<std::string, std::string> &presets, std::set<std::string> errors = {},
             long long dropAfter = -1, devsim::SimOptions options = {})
    {
        options.model.errCommands = std::move(errors);
        options.dropAfter = dropAfter;
        auto sim = std::make_unique<devsim::SimServer>(options);
        for (const auto &[name, value] : presets)
            sim->SetParam(name, value);
        std::string error;
        EXPECT_TRUE(sim->Start(&error)) << error;
        return sim;
    }

    // A whole NET file with the values a first start shows (but a socket address the device
    // takes), and changes on top.
    static std::string FullFile(std::map<std::pair<std::string, std::string>, std::string> changes
                                = {})
    {
        changes.try_emplace({"Socket", "SOCKA"}, "TCP,host,80");
        TFakePanel panel;
        TQuietLog log;
        TReplyApplier device(panel, log);
        TFakeTool tool;
        TIniFile ini;
        LoadConfig(ini, panel, device, tool);
        SaveConfig(ini, panel, device, tool);
        for (const auto &[where, value] : changes)
            ini.WriteString(where.first, where.second, value);
        return ini.Text();
    }
    // What a write of the file sends, in bytes.
    static std::size_t WriteBytes(const std::string &text)
    {
        TFakePanel panel;
        TQuietLog log;
        TReplyApplier device(panel, log);
        LoadParameters(TIniFile(text), panel, device);
        BuildSetAll(panel, TCmd::IMEI);
        std::size_t bytes = 0;
        for (int i = 0; i < QueueCount(); ++i)
            bytes += QueueEntry(i).size();
        QueueClear();
        return bytes;
    }

    fs::path m_dir;
    int m_timeoutSeconds = 30;
    std::optional<test::ScopedEnv> m_dataDir;
    std::ostringstream m_progress;
    std::ostringstream m_result;
};

struct ModeCase
{
    const char *name;
    std::map<std::string, std::string> presets;
    bool chinese;
    const char *complete;
};

class ProvisioningRoundTrip : public ProvisioningTest, public testing::WithParamInterface<ModeCase>
{
};

TEST_P(ProvisioningRoundTrip, ReadThenWriteGivesTheSecondDeviceTheFirstOnesState)
{
    const ModeCase &c = GetParam();
    const auto source = StartSim(c.presets);
    const auto target = StartSim({});
    const fs::path file = m_dir / "customer.ini";

    ASSERT_EQ(Run(TAction::Read, source->SlavePath(), file, c.chinese), 0) << m_progress.str();
    EXPECT_NE(m_progress.str().find(c.complete), std::string::npos) << m_progress.str();
    EXPECT_NE(
        ReadFile(file).find("[OpenUart]\nComName=" + source->SlavePath() + "\nBaudRate=115200"),
        std::string::npos);

    ASSERT_EQ(Run(TAction::Write, target->SlavePath(), file, c.chinese), 0) << m_progress.str();
    EXPECT_EQ(m_result.str(), "");
    EXPECT_EQ(target->Params(), source->Params());
    EXPECT_EQ(target->Param("WKMOD"), c.presets.at("WKMOD"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Modes, ProvisioningRoundTrip, testing::Values(
    ModeCase{"NET", {{"WKMOD", "NET"}, {"SOCKA", "UDP,203.0.113.7,5001"}, {"SOCKBEN", "ON"},
                     {"SOCKB", "TCP,example.net,9000"}, {"SOCKBSL", "SHORT"}, {"HEARTTM", "45"},
                     {"HEARTDT", "48454C4C4F"}, {"REGEN", "ON"}, {"REGTP", "CLOUD"},
                     {"CLOUD", "00000042,pw42"}, {"APN", "CMIOT,user,secret,1"},
                     {"UART", "9600,8,1,EVEN,NFC"}}, false, "Operation complete"},
    ModeCase{"UDC", {{"WKMOD", "UDC"}, {"REGEN", "ON"}, {"REGSND", "DATA"}, {"ID", "udc-0042"},
                     {"HEARTSND", "COM"}, {"SOCKA", "TCP,10.0.0.9,7000"}}, false,
             "Operation complete"},
    ModeCase{"HTTPD", {{"WKMOD", "HTTPD"}, {"HTPTP", "GET"}, {"HTPURL", "/x.php"}, {"HTPTO", "20"},
                       {"HTPSV", "198.51.100.1,8080"}, {"HTPFLT", "OFF"}, {"STMSG", "[SITE-7]"}},
             true, "执行完毕"},
    ModeCase{"SMS", {{"WKMOD", "SMS"}, {"DSTNUM", "13900000001"}, {"SMSFLT", "OFF"},
                     {"SMSPH", "ON"}, {"CMDPW", "sms-pw"}}, false, "Operation complete"}),
    [](const testing::TestParamInfo<ModeCase> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(ProvisioningTest, RefusalsAndDifferencesAreNamedAndAFailedReadWritesNoFile)
{
    // The device stores hexadecimal data in upper case whatever it was sent.
    const std::string text = FullFile({{{"Socket", "SOCKATO"}, "9"},
                                       {{"Heart", "HEARTDT"}, "48656c6c6f"}});
    const fs::path file = m_dir / "customer.ini";
    std::ofstream(file) << text;
    const auto sim = StartSim({}, {"SOCKATO"});
    EXPECT_EQ(Run(TAction::Write, sim->SlavePath(), file), 1) << m_progress.str();
    EXPECT_EQ(m_result.str(), "SOCKATO: wrote 9, device refused (+ERR:-5)\n"
                              "HEARTDT: wrote 48656c6c6f, device has 48656C6C6F\n");
    EXPECT_EQ(sim->Param("SOCKA"), "TCP,host,80");

    EXPECT_EQ(Run(TAction::Read, sim->SlavePath(), file), 1) << m_progress.str();
    EXPECT_EQ(m_result.str(), "SOCKATO: device refused the query (+ERR:-5)\n");
    EXPECT_EQ(ReadFile(file), text);
}

TEST_F(ProvisioningTest, BadInputIsRefusedBeforeAnythingIsSent)
{
    const auto sim = StartSim({});
    std::ofstream(m_dir / "garbage.ini") << "\x7f"
                                         << "ELF binary junk\n[Base]\nAPN=x\n";
    std::ofstream(m_dir / "nomode.ini") << "[WKMOD]\nWKMOD=FAX\n";
    const struct
    {
        TAction action;
        fs::path file;
        const char *message;
    } cases[] = {
        {TAction::Write, m_dir / "absent.ini", "Cannot read"},
        {TAction::Write, m_dir / "garbage.ini", "is not a configuration file"},
        {TAction::Write, m_dir / "nomode.ini", "is not a configuration file"},
        {TAction::Read, m_dir / "no-folder" / "out.ini", "Cannot write into the folder"},
        {TAction::Read, m_dir, "Unable to write to"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.string());
        EXPECT_EQ(Run(c.action, sim->SlavePath(), c.file), 2);
        EXPECT_NE(m_progress.str().find(c.message), std::string::npos) << m_progress.str();
    }
    EXPECT_TRUE(sim->Trace().empty());
}

TEST_F(ProvisioningTest, AnAbsentPortExitsThreeWithTheReason)
{
    EXPECT_EQ(Run(TAction::Read, (m_dir / "ttyNone").string(), m_dir / "out.ini"), 3);
    EXPECT_NE(m_progress.str().find("Reason: device not found"), std::string::npos)
        << m_progress.str();
    EXPECT_FALSE(fs::exists(m_dir / "out.ini"));
}

TEST_F(ProvisioningTest, ASilentLineExitsFourAfterTheEntryPairOrAtTheTimeOut)
{
    test::PtyPair line;
    ASSERT_TRUE(line.Valid());
    const struct
    {
        int timeoutSeconds;
        int replyMs;
        const char *says;
    } cases[] = {
        {30, 400, "The device does not answer"},
        {1, 5000, "Not finished within 1 seconds"},
    };
    for (const auto &c : cases) {
        m_timeoutSeconds = c.timeoutSeconds;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(TAction::Read, line.SlavePath(), m_dir / "out.ini", false, 100, c.replyMs),
                  4);
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::seconds(c.timeoutSeconds) + std::chrono::seconds(2));
        EXPECT_NE(m_progress.str().find(c.says), std::string::npos) << m_progress.str();
    }
    EXPECT_NE(m_progress.str().find("[Tx->] AT+VER?"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir / "out.ini"));
}

TEST_F(ProvisioningTest, ARunCutOffAfterItStartedExitsFiveSayingWhatTheDeviceHolds)
{
    const std::string text = FullFile();
    const fs::path file = m_dir / "customer.ini";
    std::ofstream(file) << text;
    const std::size_t written = WriteBytes(text);
    const struct
    {
        TAction action;
        long long dropAfter;
        const char *says;
    } cases[] = {
        {TAction::Read, 200, "the device is unchanged"},
        {TAction::Write, 40, "may hold part of the file"},
        // Every line acknowledged, the line lost in the read-back's queries.
        {TAction::Write, static_cast<long long>(written) + 30, "values were not checked"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        const auto sim = StartSim({}, {}, c.dropAfter);
        EXPECT_EQ(Run(c.action, sim->SlavePath(), c.action == TAction::Read ? m_dir / "out.ini"
                                                                             : file),
                  5);
        EXPECT_NE(m_progress.str().find("Serial line lost"), std::string::npos)
            << m_progress.str();
        EXPECT_NE(m_progress.str().find(c.says), std::string::npos) << m_progress.str();
    }
    EXPECT_FALSE(fs::exists(m_dir / "out.ini"));
}

TEST_F(ProvisioningTest, AReadSavesOnlyWhatTheDeviceReportedAndAsksForWhatItsModeWrites)
{
    // An SMS device: the read-all never asks for the SMS settings, the copy must.
    const auto sms = StartSim({{"WKMOD", "SMS"}, {"DSTNUM", "13800138000"}, {"SMSFLT", "OFF"},
                               {"SMSPH", "ON"}});
    const fs::path smsFile = m_dir / "sms.ini";
    ASSERT_EQ(Run(TAction::Read, sms->SlavePath(), smsFile), 0) << m_progress.str();
    const TIniFile smsIni(ReadFile(smsFile));
    EXPECT_EQ(smsIni.Value("SMS", "DSTNUM"), "13800138000");
    EXPECT_EQ(smsIni.Value("SMS", "SMSFLT"), "OFF");
    EXPECT_EQ(smsIni.Value("SMS", "SMSPH"), "ON");
    const auto target = StartSim({});
    ASSERT_EQ(Run(TAction::Write, target->SlavePath(), smsFile), 0) << m_progress.str();
    EXPECT_EQ(target->Params(), sms->Params());

    // A NET device: no SMS settings asked, so none in the file; nor what is never read.
    const auto net = StartSim({});
    const fs::path netFile = m_dir / "net.ini";
    ASSERT_EQ(Run(TAction::Read, net->SlavePath(), netFile), 0) << m_progress.str();
    EXPECT_EQ(m_progress.str().find("AT+DSTNUM?"), std::string::npos);
    const TIniFile netIni(ReadFile(netFile));
    for (const auto &[section, key] : std::vector<std::pair<const char *, const char *>>{
             {"SMS", "DSTNUM"}, {"SMS", "SMSFLT"}, {"Socket", "SOCKC"}, {"Base", "RFCEN"}})
        EXPECT_FALSE(netIni.Value(section, key).has_value()) << key;
    EXPECT_EQ(netIni.Value("Socket", "SOCKA"), net->Param("SOCKA"));
}

TEST_F(ProvisioningTest, AReadFailsNamingTheCommandWhenAnAnswerNeverReachedThePanel)
{
    const struct
    {
        std::map<std::string, std::string> presets;
        const char *line;
    } cases[] = {
        // With echo on, the answer holds more "+" than any reply may: only logged, not read.
        {{{"E", "ON"}, {"HTPURL", "/q?a+b+c+d+e"}},
         "HTPURL: no value came back (the answer was not understood)"},
        {{{"WKMOD", "FAX"}}, "WKMOD: device has FAX, the panel would write (nothing)"},
        {{{"SOCKASL", "MEDIUM"}}, "SOCKASL: device has MEDIUM, the panel would write LONG"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        const auto sim = StartSim(c.presets);
        EXPECT_EQ(Run(TAction::Read, sim->SlavePath(), m_dir / "out.ini"), 1) << m_progress.str();
        EXPECT_NE(m_result.str().find(c.line), std::string::npos) << m_result.str();
        EXPECT_FALSE(fs::exists(m_dir / "out.ini"));
    }
}

TEST_F(ProvisioningTest, AWriteOfAFileLackingKeysItsModeWritesSendsNothing)
{
    std::string text = FullFile();
    TIniFile ini(text);
    for (const char *key : {"HEARTEN", "HEARTTM", "HEARTDT", "HEARTSND"})
        ASSERT_TRUE(ini.RemoveKey("Heart", key));
    const fs::path file = m_dir / "noheart.ini";
    std::ofstream(file) << ini.Text();
    const auto sim = StartSim({});
    EXPECT_EQ(Run(TAction::Write, sim->SlavePath(), file), 2) << m_progress.str();
    EXPECT_NE(m_progress.str().find("[Heart] HEARTEN, [Heart] HEARTTM, [Heart] HEARTDT, [Heart] "
                                    "HEARTSND"),
              std::string::npos)
        << m_progress.str();
    EXPECT_TRUE(sim->Trace().empty());
}

TEST_F(ProvisioningTest, AGreetingInsideTheRunIsGotOver)
{
    // No settling: the device's greeting lands in the first command's wait and stops its
    // reply timer; the run goes on as a tick would move it.
    const fs::path file = m_dir / "customer.ini";
    std::ofstream(file) << FullFile({{{"Socket", "SOCKATO"}, "9"}});
    const auto sim = StartSim({});
    EXPECT_EQ(Run(TAction::Write, sim->SlavePath(), file, false, 0), 0) << m_progress.str();
    EXPECT_EQ(sim->Param("SOCKATO"), "9");
}

TEST_F(ProvisioningTest, ControlBytesFromTheDeviceReachTheTerminalEscaped)
{
    const auto sim = StartSim({{"STMSG", "\x1B[2J\x1B]0;owned\x07[M845]"}});
    static_cast<void>(Run(TAction::Read, sim->SlavePath(), m_dir / "out.ini"));
    const std::string progress = m_progress.str();
    EXPECT_EQ(progress.find('\x1B'), std::string::npos);
    EXPECT_EQ(progress.find('\x07'), std::string::npos);
    EXPECT_NE(progress.find("\\x1B[2J\\x1B]0;owned\\x07[M845]"), std::string::npos) << progress;
}

TEST_F(ProvisioningTest, AVerificationComparesWhatTheFileWouldSetAndWritesNothing)
{
    const fs::path file = m_dir / "customer.ini";
    std::ofstream(file) << FullFile({{{"Heart", "HEARTTM"}, "45"}, {{"Heart", "HEARTDT"}, "4142"}});
    const struct
    {
        std::map<std::string, std::string> presets;
        int code;
        const char *result;
    } cases[] = {
        {{{"SOCKA", "TCP,host,80"}, {"HEARTTM", "45"}, {"HEARTDT", "4142"}}, 0, ""},
        {{{"SOCKA", "TCP,host,80"}, {"HEARTDT", "4142"}},
         1,
         "HEARTTM: file has 45, device has 30\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const auto sim = StartSim(c.presets);
        EXPECT_EQ(Run(TAction::Verify, sim->SlavePath(), file), c.code) << m_progress.str();
        EXPECT_EQ(m_result.str(), c.result);
        for (const std::string &line : sim->Trace())
            EXPECT_EQ(line.find('='), std::string::npos) << line;
    }
}

TEST_F(ProvisioningTest, AReadIntoAFolderNamesTheFileByTheDevicesIdentityAndReportsIt)
{
    const auto sim = StartSim({{"IMEI", "358000000000042"}});
    fs::create_directories(m_dir / "devices");
    TProvisionRequest request = Request(TAction::Read, sim->SlavePath(), m_dir / "devices/");
    request.report = (m_dir / "read.csv").string();
    ASSERT_EQ(Run(request), 0) << m_progress.str();
    const TIniFile ini(ReadFile(m_dir / "devices" / "358000000000042.ini"));
    EXPECT_EQ(ini.Value("Socket", "SOCKA"), sim->Param("SOCKA"));
    EXPECT_NE(ReadFile(m_dir / "read.csv").find(",358000000000042,89860117851068430021,"),
              std::string::npos)
        << ReadFile(m_dir / "read.csv");
}

TEST_F(ProvisioningTest, AFirmwareUpgradeArrivesWholeAndTheWriteFollowsTheRestart)
{
    const fs::path file = m_dir / "customer.ini";
    std::ofstream(file) << FullFile({{{"Socket", "SOCKATO"}, "9"}});
    const std::string image = test::RandomBytes(5000, 22);
    const fs::path imageFile = m_dir / "fw.bin";
    std::ofstream(imageFile, std::ios::binary) << image;
    devsim::SimOptions boot;
    boot.model.boot = true;
    boot.model.startRequestInterval = std::chrono::milliseconds(200);
    const auto sim = StartSim({}, {}, -1, boot);
    TProvisionRequest request = Request(TAction::Write, sim->SlavePath(), file);
    request.firmware = imageFile.string();
    request.expectVersion = "V2.1.5";
    request.report = (m_dir / "fw.jsonl").string();
    ASSERT_EQ(Run(request), 0) << m_progress.str();
    EXPECT_EQ(sim->FirmwareImages(), 1);
    EXPECT_EQ(sim->Firmware(), devsim::test::Padded(image));
    EXPECT_EQ(sim->Param("SOCKATO"), "9");
    // The parameters went to the restarted application, not to the boot loader.
    EXPECT_EQ(sim->Mode(), devsim::DeviceMode::Command);
    EXPECT_NE(ReadFile(m_dir / "fw.jsonl").find("\"result\":\"PASS\""), std::string::npos);

    // A device that shows no boot menu: nothing is sent, and the run says what to do.
    m_timeoutSeconds = 1;
    const auto plain = StartSim({});
    request = Request(TAction::Write, plain->SlavePath(), file);
    request.firmware = imageFile.string();
    EXPECT_EQ(Run(request), 4);
    EXPECT_NE(m_progress.str().find("No boot menu within 1 seconds"), std::string::npos)
        << m_progress.str();
    EXPECT_TRUE(plain->Trace().empty());
}

} // namespace
} // namespace m845
