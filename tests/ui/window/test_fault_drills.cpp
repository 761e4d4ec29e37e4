// Fault drills: the whole window, joined as main() joins it, against the simulated device when
// the bench goes wrong. The adapter is pulled during a read-all, a write-all and a firmware
// transfer; the device is silent, answers at another baud rate, or cuts a reply in two. Each
// drill must end in a clear line of the log, without a crash or a hang; the port then opens
// again for a fresh device whose greeting shows and whose read-all works, and the close saves
// the panel's values.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "devsim/simserver.h"
#include "firmware/firmwareupgrade.h"
#include "firmware/fw_testdata.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "serial/pty_pair.h"
#include "ui/common/dialogs.h"
#include "ui/common/qttimer.h"
#include "ui/config/configcommands.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

// A line at the wrong baud rate: every block comes with framing errors.
class TLineErrorDriver final : public ICommLineDriver
{
public:
    bool ReadCounters(int, TCommLineCounters &counters) override
    {
        counters.frame = ++m_frame;
        return true;
    }
    int WaitModemChange(int) override { return -1; }

private:
    std::atomic<std::uint32_t> m_frame{0};
};

enum class TFault : std::uint8_t {
    PullDuringReadAll,
    PullDuringWriteAll,
    PullDuringFirmware,
    Silent,
    OtherBaud,
    Split
};

struct TDrill
{
    const char *name;
    TFault fault;
    const char *logKey; // the line the technician must see
};

void PrintTo(const TDrill &drill, std::ostream *os)
{
    *os << drill.name;
}

devsim::SimOptions FaultyDevice(TFault fault)
{
    devsim::SimOptions options;
    switch (fault) {
    case TFault::PullDuringReadAll:
        options.dropAfter = 150; // a dozen queries in
        break;
    case TFault::PullDuringWriteAll:
        options.dropAfter = 200;
        break;
    case TFault::PullDuringFirmware:
        options.model.boot = true;
        options.model.startRequestInterval = std::chrono::milliseconds(100);
        options.dropAfter = 20000;
        break;
    case TFault::Silent:
        options.model.mute = true;
        break;
    case TFault::OtherBaud:
        options.model.garble = true;
        break;
    case TFault::Split:
        options.model.splitCommands = {"CMDPW"};
        break;
    }
    return options;
}

class FaultDrill : public testing::TestWithParam<TDrill>
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-drill");
    }
    static void TearDownTestSuite()
    {
        s_language.reset();
    }

    void SetUp() override
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        TDialogs::Script();
        m_window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            m_session = session.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
        });
        // The pause is the device's business; a short one keeps the drills quick.
        m_session->Sequencer().SetCommandDelay(5);
    }
    void TearDown() override
    {
        m_window.reset();
        TDialogs::EndScript();
        fs::remove_all(m_dir);
    }

    template <typename T> [[nodiscard]] T *Find(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    [[nodiscard]] QString LogText() const
    {
        m_window->Log().Flush();
        return m_window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] bool WaitForLog(const std::string &text, int count = 1) const
    {
        const QString wanted = QString::fromStdString(text);
        return test::WaitFor([&] { return LogText().count(wanted) >= count; }, 30000);
    }
    void Open(const std::string &path)
    {
        Find<QComboBox>("cbbOpenCom")->setEditText(QString::fromStdString(path));
        QTest::mouseClick(Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(m_window->Link().IsPortOpen()) << LogText().toStdString();
        // Every first query meets a device in data transfer: wait less for its silence.
        m_window->RcvTimer().SetInterval(300);
    }
    void StartTransfer()
    {
        const fs::path file = m_dir / "fw.bin";
        const std::string content = test::RandomBytes(100 * 1024, 7);
        std::ofstream(file, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        m_session->Firmware().RunDialog = [file](QFileDialog &) {
            return std::optional<QString>(QString::fromStdString(file.string()));
        };
        QTest::mouseClick(Find<QToolButton>("btnFwUp"), Qt::LeftButton);
    }
    [[nodiscard]] std::string SavedConfig() const { return test::ReadFile(m_dir / "M845Cfg.ini"); }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    fs::path m_dir = fs::temp_directory_path() / ("m845-drill-" + std::to_string(::getpid()));
    test::ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    std::unique_ptr<TFrm_Main> m_window;
    TDeviceSession *m_session = nullptr;
};

TEST_P(FaultDrill, EndsInAClearLineAndTheNextDeviceWorks)
{
    const TDrill &drill = GetParam();
    devsim::SimServer faulty(FaultyDevice(drill.fault));
    const bool greets = drill.fault != TFault::Silent && drill.fault != TFault::OtherBaud;
    if (!greets)
        faulty.SetParam("STMSG", "");
    faulty.SetParam("CMDPW", "drill-password");
    std::string error;
    ASSERT_TRUE(faulty.Start(&error)) << error;
    if (drill.fault == TFault::OtherBaud)
        m_window->Comm().SetLineDriver(std::make_shared<TLineErrorDriver>());
    ASSERT_NO_FATAL_FAILURE(Open(faulty.SlavePath()));
    // The device powers on with the line; a greeting in the middle of a run would stop it.
    if (greets) {
        ASSERT_TRUE(WaitForLog(drill.fault == TFault::PullDuringFirmware ? "'F': update firmware"
                                                                         : "[ZLM-M845]"))
            << LogText().toStdString();
    }
    switch (drill.fault) {
    case TFault::PullDuringWriteAll:
        QTest::mouseClick(Find<QPushButton>("btnSetAll"), Qt::LeftButton);
        break;
    case TFault::PullDuringFirmware:
        StartTransfer();
        break;
    default:
        QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
        break;
    }
    ASSERT_TRUE(WaitForLog(LangText(drill.logKey))) << LogText().toStdString();
    EXPECT_EQ(LogText().count(QString::fromStdString(LangText("info_DoOver"))), 0);
    if (drill.fault == TFault::Split) {
        EXPECT_EQ(m_session->Panel().EditText(PanelEdit::CmdPw), "vorbe") << "no cut value";
    }

    // The technician plugs in another device (or the same one again): a new line.
    faulty.Stop();
    m_window->Comm().SetLineDriver(nullptr);
    if (m_window->Link().ButtonTag() == kBtnTagClose)
        QTest::mouseClick(Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
    devsim::SimServer fresh{devsim::SimOptions{}};
    fresh.SetParam("STMSG", "[drill-fresh]");
    fresh.SetParam("SOCKA", "UDP,198.51.100.9,7001");
    ASSERT_TRUE(fresh.Start(&error)) << error;
    ASSERT_NO_FATAL_FAILURE(Open(fresh.SlavePath()));
    // Its greeting is the first thing it says; no leftover of the fault may swallow it.
    ASSERT_TRUE(WaitForLog("[drill-fresh]")) << LogText().toStdString();
    QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
    ASSERT_TRUE(WaitForLog(LangText("info_DoOver"))) << LogText().toStdString();
    EXPECT_EQ(m_session->Panel().EditText(PanelEdit::StMsg), "[drill-fresh]");
    EXPECT_EQ(m_session->Panel().EditText(PanelEdit::AddrA), "198.51.100.9");

    m_window->close();
    const std::string saved = SavedConfig();
    for (const std::string &line :
         {std::string("STMSG=[drill-fresh]\n"), std::string("SOCKA=UDP,198.51.100.9,7001\n"),
          "ComName=" + fresh.SlavePath() + "\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
}

INSTANTIATE_TEST_SUITE_P(
    Bench, FaultDrill,
    testing::Values(TDrill{"PulledDuringReadAll", TFault::PullDuringReadAll, "info_ComLost"},
                    TDrill{"PulledDuringWriteAll", TFault::PullDuringWriteAll, "info_ComLost"},
                    TDrill{"PulledDuringFirmware", TFault::PullDuringFirmware, "info_FwPortLost"},
                    TDrill{"SilentDevice", TFault::Silent, "info_NoAnswer"},
                    TDrill{"OtherBaudRate", TFault::OtherBaud, "info_LineErrors"},
                    TDrill{"SplitReply", TFault::Split, "info_NotUnderstood"}),
    [](const testing::TestParamInfo<TDrill> &info) { return std::string(info.param.name); });

} // namespace
} // namespace m845
