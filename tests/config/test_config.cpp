// Loading and saving the tool's own settings, the panel contract against the plain fake, and
// the crash-safe file replacement.

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <set>
#include <string>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/config_contract.h"
#include "common/fake_panel.h"
#include "common/fake_tool.h"
#include "common/quiet_log.h"
#include "protocol/parameters.h"
#include "protocol/reply.h"
#include "common/file_text.h"
#include "config/config.h"
#include "config/inifile.h"

namespace m845::test {

struct TFakePanelTag
{
};

template <> struct ConfigPanelFactory<TFakePanelTag>
{
    static std::unique_ptr<IPanel> Make() { return std::make_unique<TFakePanel>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(FakePanel, ConfigContract, ::testing::Types<TFakePanelTag>);

namespace {

namespace fs = std::filesystem;

class ConfigLoad : public testing::Test
{
protected:
    void Load(std::string_view text) { LoadConfig(TIniFile(text), panel, device, tool); }
    [[nodiscard]] std::string Saved()
    {
        TIniFile ini;
        SaveConfig(ini, panel, device, tool);
        return ini.Text();
    }
    [[nodiscard]] int Sign() const { return static_cast<int>(device.HardwareSign()); }

    TFakePanel panel;
    TQuietLog log;
    TReplyApplier device{panel, log};
    TFakeTool tool;
};

TEST_F(ConfigLoad, FirstRunSettings)
{
    tool.systemChinese = true;
    Load("");
    EXPECT_FALSE(tool.custom);
    EXPECT_TRUE(tool.chinese) << "the system's language";
    EXPECT_TRUE(tool.help);
    EXPECT_EQ(tool.sendKey, 2);
    EXPECT_EQ(Sign(), 3) << "HdCedar";
    EXPECT_EQ(tool.delay, 150);
    EXPECT_FALSE(tool.recording);
    EXPECT_EQ(tool.portListFills, 1);
    EXPECT_EQ(tool.PortText(PortSetting::ComName), "/dev/ttyS0");
    EXPECT_EQ(tool.PortText(PortSetting::BaudRate), "115200");
    EXPECT_EQ(tool.PortText(PortSetting::Flow), "NONE");
}

TEST_F(ConfigLoad, SystemValueForms)
{
    const struct
    {
        const char *file;
        bool chinese;
        int sendKey;
        std::uint8_t sign;
    } rows[] = {
        {"Language=0x1\nSendShortCutTag=1\nHdVerSign=hdbirch", true, 1, 2},
        {"Language=yes\nSendShortCutTag=3\nHdVerSign=HDALDER", false, 0, 1},
        {"Language=0\nSendShortCutTag=0x2\nHdVerSign=HdOak", false, 2, 255},
        {"Language= 1 \nSendShortCutTag=two\nHdVerSign=", true, 2, 255},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file);
        tool = TFakeTool();
        device.LoadHardwareSign(THdVerSign::HdCedar);
        Load("[System]\n" + std::string(row.file) + "\n");
        EXPECT_EQ(tool.chinese, row.chinese);
        EXPECT_EQ(tool.sendKey, row.sendKey) << "3 runs no choice; two is no number";
        EXPECT_EQ(Sign(), row.sign);
    }
    // A sign that names no member is written as a member, so it reads back as one.
    EXPECT_NE(Saved().find("HdVerSign=HdUnknown\n"), std::string::npos);
}

TEST_F(ConfigLoad, DelayTimeTakesWholeNumbersOnly)
{
    const struct
    {
        const char *text;
        int delay;
    } rows[] = {{"300", 300}, {"0", 0},     {"0x20", 32}, {"abc", 150},
                {"-5", 150},  {"1.5", 150}, {"", 150}};
    for (const auto &row : rows) {
        Load("[Base]\ndelayTime=" + std::string(row.text) + "\n");
        EXPECT_EQ(tool.delay, row.delay) << row.text;
    }
    tool.delay = 42;
    EXPECT_NE(Saved().find("delayTime=42\n"), std::string::npos);
}

TEST_F(ConfigLoad, PortSettings)
{
    Load("[OpenUart]\nComName=/DEV/TTYUSB1\nBaudRate=12345\nParity=even\n");
    EXPECT_EQ(tool.PortText(PortSetting::ComName), "/dev/ttyUSB1") << "case ignored";
    EXPECT_EQ(tool.PortText(PortSetting::BaudRate), "") << "no such item: no selection";
    EXPECT_EQ(tool.PortText(PortSetting::Parity), "EVEN");
    const std::string saved = Saved();
    EXPECT_NE(saved.find("ComName=/dev/ttyUSB1\nBaudRate=\nParity=EVEN\n"), std::string::npos);

    tool.ports.clear();
    Load("[OpenUart]\nComName=/dev/ttyS0\n");
    EXPECT_EQ(tool.PortText(PortSetting::ComName), "") << "not read with an empty list";
    EXPECT_NE(Saved().find("ComName=\n"), std::string::npos);
}

TEST_F(ConfigLoad, EveryParameterKeyOfTheTableIsSavedAndLoaded)
{
    // Each registration type saves its own data key: one save per type covers them all.
    std::set<std::string> saved;
    panel.SetRadioChecked(PanelRadio::NetTran, true);
    for (int type = 0; type < 4; ++type) {
        panel.SetComboIndex(PanelCombo::RegTp, type);
        TIniFile ini;
        SaveParameters(ini, panel, device);
        for (const TParameter &row : Parameters()) {
            if (!row.key.empty() && ini.Value(row.section, row.key))
                saved.insert(std::string(row.section) + "/" + std::string(row.key));
        }
    }
    for (const TParameter &row : Parameters()) {
        if (row.key.empty())
            continue;
        const std::string key = std::string(row.section) + "/" + std::string(row.key);
        EXPECT_TRUE(saved.count(key)) << key << " is never saved";
        // Loaded too: a value of the key's form reaches the panel as the write-all reads it.
        if (row.form == TValueForm::Text && row.cmd != TCmd::ICCID && !IsIdentity(row.cmd)) {
            Load("[" + std::string(row.section) + "]\n" + std::string(row.key) + "=marker\n");
            EXPECT_EQ(PanelValue(panel, row.cmd, TCmd::IMEI), "marker") << key;
        }
    }
}

TEST_F(ConfigLoad, SocketRowsRunTheProtocolReactionAfterTheKind)
{
    Load("[Socket]\nSOCKA=UDP,192.168.0.7,502\nSOCKASL=SHORT\nSOCKB=bad\n");
    EXPECT_EQ(panel.ComboText(PanelCombo::ProtocolA), "UDP");
    EXPECT_EQ(panel.EditText(PanelEdit::AddrA), "192.168.0.7");
    EXPECT_EQ(panel.EditText(PanelEdit::PortA), "502");
    // Row A: once for the socket, once after the kind; the other rows after their kind only.
    EXPECT_EQ(panel.protocolChanges, (std::vector<int>{0, 0, 1, 2, 3}));
}

TEST_F(ConfigLoad, ValuesInGbkAreRead)
{
    // "中文" in GBK, as the GBK-era program stored it.
    Load("[Base]\nSTMSG=\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), "中文");
    Load("[Base]\nSTMSG=中文\n");
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), "中文");
}

TEST_F(ConfigLoad, GarbageFilesGiveDefaultsAndUsableValues)
{
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary.push_back(static_cast<char>((i * 37) & 0xFF));
    const std::string files[] = {
        binary,
        "[Base]\nSTMSG=" + std::string(100000, 'x') + "\nRSTIM=77\n",
        "[Base]\nRSTIM=77\n[BASE]\nRSTIM=1\nCMDPW=never\n",
        "[Base]\nRSTIM\n=1\nRSTIM=77\nE=maybe\n[",
    };
    for (const std::string &file : files) {
        panel = TFakePanel();
        Load(file);
        EXPECT_EQ(panel.EditText(PanelEdit::CmdPw), "vorbe");
        EXPECT_TRUE(panel.Checked(PanelCheck::HeartEn));
    }
    EXPECT_EQ(panel.EditText(PanelEdit::RsTim), "77");
}

// A folder of its own per test.
class FileStore : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("m845-cfg-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    [[nodiscard]] std::size_t Entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
    TFakePanel panel;
    TQuietLog log;
    TReplyApplier device{panel, log};
    TFakeTool tool;
};

TEST_F(FileStore, SaveKeepsWhatTheProgramDoesNotWrite)
{
    const fs::path file = dir / "M845Cfg.ini";
    std::ofstream(file) << "; by hand\n[Reg]\nMEID=A100\nREGTP=USER\n[Future]\nNew=1\n";
    ASSERT_TRUE(SaveConfigFile(file.string(), panel, device, tool).ok);
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("; by hand\n[Reg]\nMEID=A100\nREGTP=USER\nREGEN", 0), 0u) << text;
    EXPECT_NE(text.find("[Future]\nNew=1\n[System]"), std::string::npos);
    EXPECT_EQ(Entries(), 1u) << "no temporary file left";
}

TEST_F(FileStore, OnlyRegularFilesAreRead)
{
    TIniFile ini;
    EXPECT_TRUE(ReadConfigFile((dir / "none.ini").string(), ini).missing);
    for (const char *path : {"/dev/zero", "/tmp"})
        EXPECT_FALSE(ReadConfigFile(path, ini).ok) << path;
}

TEST_F(FileStore, FailedSavesLeaveTheOldFileAsItWas)
{
    std::ofstream(dir / "plain") << "x";
    const fs::path folder = dir / "M845Cfg.ini";
    fs::create_directories(folder / "inside");
    for (const fs::path &target : {dir / "plain" / "M845Cfg.ini", folder}) {
        const TFileOutcome saved = SaveConfigFile(target.string(), panel, device, tool);
        EXPECT_FALSE(saved.ok) << target;
        EXPECT_FALSE(saved.reason.empty());
    }
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(ReadFile(dir / "plain"), "x");
    EXPECT_EQ(Entries(), 2u) << "no temporary file left";
}

TEST_F(FileStore, AFullDiskLeavesTheOldFileWhole)
{
    const fs::path file = dir / "M845Cfg.ini";
    const std::string old = "[Base]\nCMDPW=old\n";
    std::ofstream(file) << old;
    // A file-size limit below the new file's size fails the write as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto *previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TFileOutcome outcome = SaveConfigFile(file.string(), panel, device, tool);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileStore, ALinkedFileIsReplacedThroughTheLink)
{
    fs::create_directories(dir / "real");
    std::ofstream(dir / "real" / "cfg.ini") << "[Base]\n";
    fs::create_symlink(dir / "real" / "cfg.ini", dir / "M845Cfg.ini");
    ASSERT_TRUE(SaveConfigFile((dir / "M845Cfg.ini").string(), panel, device, tool).ok);
    EXPECT_TRUE(fs::is_symlink(dir / "M845Cfg.ini"));
    EXPECT_NE(ReadFile(dir / "real" / "cfg.ini").find("CMDPW="), std::string::npos);
}

} // namespace
} // namespace m845::test
