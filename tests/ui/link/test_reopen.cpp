// Reopen after replug: when to try (the same path, the same stable name on another number, at
// most once a second, never after a failure other than a missing device), and the whole window
// against the simulated device behind a link that is removed and pointed at a new pty.

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/joined_window.h"
#include "common/scoped_language.h"
#include "devsim/simserver.h"
#include "serial/comm.h"
#include "serial/portlist.h"
#include "serial/pty_pair.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/reopenwatch.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/quickcommands.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

class ReopenWatchTest : public testing::Test
{
protected:
    TReopenWatch m_watch{[this](const std::string &path) {
        const auto it = m_present.find(path);
        return it == m_present.end() ? std::string() : it->second;
    }};
    std::map<std::string, std::string> m_present; // path -> where it leads
};

TEST_F(ReopenWatchTest, TheSamePathOnceASecondUntilItOpens)
{
    m_watch.Lost({"/tmp/m845dev", "/tmp/m845dev", {}});
    EXPECT_FALSE(m_watch.Due(0)) << "still gone";
    m_present["/tmp/m845dev"] = "/dev/pts/7";
    EXPECT_EQ(m_watch.Due(10).value_or(""), "/tmp/m845dev");
    m_watch.Attempted(false, ENOENT); // gone again at once: a loose cable
    EXPECT_TRUE(m_watch.Watching());
    EXPECT_FALSE(m_watch.Due(500)) << "one attempt a second";
    EXPECT_FALSE(m_watch.Due(1009));
    EXPECT_TRUE(m_watch.Due(1010));
    m_watch.Attempted(true, 0);
    EXPECT_FALSE(m_watch.Watching());
    // Lost again right after the reopen: the second still holds.
    m_watch.Lost({"/tmp/m845dev", "/tmp/m845dev", {}});
    EXPECT_FALSE(m_watch.Due(1500));
    EXPECT_TRUE(m_watch.Due(2010));
}

TEST_F(ReopenWatchTest, AStableNameFindsTheAdapterOnAnotherNumber)
{
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
    struct Case
    {
        const char *chosen;
        const char *shown; // the port box after the reopen
    };
    std::int64_t now = 0;
    for (const Case &c : {Case{"ttyUSB0", "ttyUSB1"}, Case{"/dev/ttyUSB0", "/dev/ttyUSB1"},
                          Case{byId.c_str(), byId.c_str()}}) {
        m_present.clear();
        now += kReopenSpacingMs;
        m_watch.Lost({c.chosen, "/dev/ttyUSB0", {byId}});
        m_present["/dev/ttyUSB0"] = "/dev/ttyUSB0";
        EXPECT_FALSE(m_watch.Due(now)) << "the old number holds another adapter";
        m_present[byId] = "/dev/ttyUSB1";
        EXPECT_EQ(m_watch.Due(now).value_or(""), c.shown);
        m_watch.Stop();
    }
}

TEST_F(ReopenWatchTest, AFailureOtherThanGoneEndsTheWatch)
{
    m_present["/dev/ttyACM0"] = "/dev/ttyACM0";
    for (const int error : {EACCES, EBUSY, EAGAIN, EINVAL}) {
        m_watch = TReopenWatch(
            [this](const std::string &p) { return m_present.count(p) ? m_present[p] : ""; });
        m_watch.Lost({"ttyACM0", "/dev/ttyACM0", {}});
        ASSERT_TRUE(m_watch.Due(0));
        m_watch.Attempted(false, error);
        EXPECT_FALSE(m_watch.Watching()) << error;
    }
    for (const int error : {ENOENT, ENODEV, ENXIO, EIO})
        EXPECT_TRUE(IsGoneError(error)) << error;
}

TEST(StableLinks, NameTheLinksOfTheSameDeviceOnly)
{
    const fs::path dir = fs::temp_directory_path() / ("m845-byid-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "dev");
    fs::create_directories(dir / "by-id");
    for (const char *tty : {"ttyUSB0", "ttyUSB1"})
        std::ofstream(dir / "dev" / tty) << "";
    fs::create_symlink("../dev/ttyUSB0", dir / "by-id" / "usb-A-port0");
    fs::create_symlink("../dev/ttyUSB0", dir / "by-id" / "usb-A-if00");
    fs::create_symlink("../dev/ttyUSB1", dir / "by-id" / "usb-B-port0");
    EXPECT_EQ(StableLinksTo((dir / "dev/ttyUSB0").string(), (dir / "by-id").string()),
              (std::vector<std::string>{(dir / "by-id/usb-A-if00").string(),
                                        (dir / "by-id/usb-A-port0").string()}));
    EXPECT_TRUE(StableLinksTo((dir / "dev/ttyUSB9").string(), (dir / "by-id").string()).empty());
    EXPECT_EQ(PortTarget((dir / "by-id/usb-B-port0").string()),
              fs::canonical(dir / "dev/ttyUSB1").string());
    fs::remove_all(dir);
}

class ReopenWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_language = std::make_unique<test::ScopedLanguage>("m845-ro"); }
    static void TearDownTestSuite() { s_language.reset(); }
    void SetUp() override
    {
        LangList()->IsChinese = false;
        m_w.Start();
        // Quicker looks and no second between attempts: the rule itself is tested above.
        m_w.Reopen().SetPace(10, 0);
    }
    [[nodiscard]] std::unique_ptr<devsim::SimServer> Device(const fs::path &link) const
    {
        devsim::SimOptions options;
        options.linkPath = link.string();
        auto sim = std::make_unique<devsim::SimServer>(options);
        std::string error;
        EXPECT_TRUE(sim->Start(&error)) << error;
        return sim;
    }
    void Open(const std::string &port)
    {
        m_w.Find<QComboBox>("cbbOpenCom")->setEditText(QString::fromStdString(port));
        QTest::mouseClick(m_w.Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(m_w.W().Link().IsPortOpen()) << m_w.LogText().toStdString();
    }
    [[nodiscard]] bool WaitForLog(const std::string &text, int count = 1) const
    {
        const QString wanted = QString::fromStdString(text);
        return test::WaitFor([&] { return m_w.LogText().count(wanted) >= count; }, 20000);
    }
    [[nodiscard]] QString PortBox() const
    {
        return m_w.Find<QComboBox>("cbbOpenCom")->currentText();
    }
    // Into command mode and one query, with the quick commands: what the device heard.
    void CommandReaches(devsim::SimServer &device)
    {
        TQuickCommandBar &quick = m_w.Terminal().Quick();
        quick.Send(3); // "+++"
        ASSERT_TRUE(device.WaitForMode(devsim::DeviceMode::EscapeSeen, std::chrono::seconds(5)));
        quick.Send(4); // "a"
        ASSERT_TRUE(device.WaitForMode(devsim::DeviceMode::Command, std::chrono::seconds(5)));
        quick.Send(0); // AT+CSQ
        ASSERT_TRUE(device.WaitForTrace(3, std::chrono::seconds(5)));
        EXPECT_EQ(device.Trace().back(), "AT+CSQ");
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    test::JoinedWindow m_w{"m845-ro"};
};

TEST_F(ReopenWindowTest, APulledDeviceBehindALinkIsOpenedAgainWhenTheLinkComesBack)
{
    const fs::path link = m_w.Dir() / "m845dev";
    auto first = Device(link);
    ASSERT_NO_FATAL_FAILURE(Open(link.string()));
    first->Stop(); // the adapter pulled: the line hangs up, the link goes
    ASSERT_TRUE(WaitForLog(LangText("info_ComLost"))) << m_w.LogText().toStdString();
    EXPECT_TRUE(WaitForLog("Waiting for " + link.string()));
    EXPECT_TRUE(m_w.Reopen().Watching());

    auto second = Device(link); // plugged back: a new pty behind the same name
    ASSERT_TRUE(WaitForLog(link.string() + " is back and open again at 115200 baud"))
        << m_w.LogText().toStdString();
    EXPECT_TRUE(m_w.W().Link().IsPortOpen());
    EXPECT_EQ(m_w.W().Link().ButtonTag(), kBtnTagClose);
    EXPECT_EQ(PortBox(), QString::fromStdString(link.string()));
    ASSERT_NO_FATAL_FAILURE(CommandReaches(*second));
    EXPECT_EQ(m_w.LogText().count(QStringLiteral("Reason:")), 0) << "no pile of warnings";

    // A port the technician closes stays closed, also when its device comes and goes.
    QTest::mouseClick(m_w.Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
    ASSERT_FALSE(m_w.W().Link().IsPortOpen());
    second->Stop();
    auto third = Device(link);
    for (int i = 0; i < 5; ++i)
        m_w.Reopen().Look();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_w.W().Link().IsPortOpen());
    EXPECT_FALSE(m_w.Reopen().Watching());
}

TEST_F(ReopenWindowTest, TheStableNameLeadsToTheAdapterOnItsNewNumber)
{
    const fs::path dev = m_w.Dir() / "dev";
    const fs::path byId = m_w.Dir() / "by-id";
    fs::create_directories(dev);
    fs::create_directories(byId);
    m_w.Reopen().SetByIdFolder(byId.string());
    auto first = Device({});
    fs::create_symlink(first->SlavePath(), dev / "ttyUSB0");
    fs::create_symlink("../dev/ttyUSB0", byId / "usb-FTDI_A1-if00-port0");
    ASSERT_NO_FATAL_FAILURE(Open((dev / "ttyUSB0").string()));

    first->Stop();
    ASSERT_TRUE(WaitForLog(LangText("info_ComLost")));
    fs::remove(byId / "usb-FTDI_A1-if00-port0");
    fs::remove(dev / "ttyUSB0");
    auto second = Device({});
    fs::create_symlink(second->SlavePath(), dev / "ttyUSB1");
    fs::create_symlink("../dev/ttyUSB1", byId / "usb-FTDI_A1-if00-port0");
    const std::string now = PortTarget((dev / "ttyUSB1").string());
    ASSERT_TRUE(WaitForLog(now + " is back and open again")) << m_w.LogText().toStdString();
    EXPECT_EQ(PortBox(), QString::fromStdString(now));
    ASSERT_NO_FATAL_FAILURE(CommandReaches(*second));
}

TEST_F(ReopenWindowTest, TheSwitchTurnsItOffAndIsKept)
{
    auto *item = m_w.Find<QAction>("mniReopen");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked()) << "on by default";
    EXPECT_EQ(item->text(), QStringLiteral("Reopen the port when it is plugged back in"));
    item->trigger();
    const fs::path link = m_w.Dir() / "m845dev";
    auto first = Device(link);
    ASSERT_NO_FATAL_FAILURE(Open(link.string()));
    first->Stop();
    ASSERT_TRUE(WaitForLog(LangText("info_ComLost")));
    EXPECT_FALSE(m_w.Reopen().Watching());
    EXPECT_FALSE(m_w.LogText().contains(QStringLiteral("Waiting for")));

    m_w.Close();
    EXPECT_NE(test::ReadFile(m_w.CfgPath()).find("[Terminal]\nReopenAfterReplug=0\n"),
              std::string::npos);
    m_w.Start();
    EXPECT_FALSE(m_w.Find<QAction>("mniReopen")->isChecked());
}

TEST_F(ReopenWindowTest, ALineErrorReportedAgainForTheDeviceThatCameBack)
{
    const fs::path link = m_w.Dir() / "m845dev";
    auto first = Device(link);
    ASSERT_NO_FATAL_FAILURE(Open(link.string()));
    m_w.W().Link().cm1ReceiveError(kCommErrorFrame);
    first->Stop();
    ASSERT_TRUE(WaitForLog(LangText("info_ComLost")));
    auto second = Device(link);
    ASSERT_TRUE(WaitForLog("is back and open again"));
    // The device back at another baud rate: the technician is told once more.
    m_w.W().Link().cm1ReceiveError(kCommErrorFrame);
    EXPECT_TRUE(WaitForLog(LangText("info_LineErrors"), 2));
}

} // namespace
} // namespace m845
