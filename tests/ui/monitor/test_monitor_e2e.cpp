// The signal monitor in the whole window, joined as main() joins it, against the simulated
// device with a wandering signal: the reading follows the device, a read-all while monitoring
// puts exactly its own queries on the wire, the log shows no line of the monitor's traffic
// while the record file keeps all of it, a pulled adapter stops it with the port, and the
// session's samples are saved for a site report.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/readall_wire.h"
#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "devsim/simserver.h"
#include "lang/langlist.h"
#include "monitor/signalmonitor.h"
#include "ui/common/dialogs.h"
#include "ui/common/qttimer.h"
#include "ui/config/configcommands.h"
#include "ui/link/linkcontrol.h"
#include "ui/monitor/monitorpanel.h"
#include "ui/monitor/monitorpart.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sessionrecorder.h"
#include "ui/verify/verifycommands.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

const std::vector<int> kWalk = {31, 20, 12, 5, 99, 24};

using test::kReadAllQueries;

devsim::SimOptions WanderingSignal()
{
    devsim::SimOptions options;
    options.model.csqList = kWalk;
    return options;
}

class MonitorEndToEndTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-monitor");
    }
    static void TearDownTestSuite() { s_language.reset(); }

    void SetUp() override
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        LangList()->IsChinese = false;
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            // As the program joins them: the verification before the monitor.
            auto verify = std::make_unique<TVerifyCommands>(w, *session, config.get());
            auto monitor = std::make_unique<TMonitorPart>(w, *session, config.get());
            this->session = session.get();
            this->config = config.get();
            this->part = monitor.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
            w.AdoptPart(std::move(verify));
            w.AdoptPart(std::move(monitor));
        });
        session->Sequencer().SetCommandDelay(5);
        Monitor().SetCsqPeriod(200);
        Monitor().SetLinkPeriod(1000);

        Find<QComboBox>("cbbOpenCom")->setEditText(QString::fromStdString(sim.SlavePath()));
        QTest::mouseClick(Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(window->Link().IsPortOpen()) << LogText().toStdString();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return LogText().contains(QString::fromStdString(sim.Param("STMSG"))); }, 10000));
        // The device is in data transfer: its first query waits for one time-out.
        window->RcvTimer().SetInterval(400);
    }

    void TearDown() override
    {
        window.reset();
        sim.Stop();
        TDialogs::EndScript();
        fs::remove_all(m_dir);
    }

    template <typename T> [[nodiscard]] T *Find(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    [[nodiscard]] QString LogText() const
    {
        window->Log().Flush();
        return window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] TSignalMonitor &Monitor() const { return part->Monitor(); }
    [[nodiscard]] std::size_t Samples() const { return Monitor().Trend().Samples().size(); }
    [[nodiscard]] bool WaitForSamples(std::size_t count) const
    {
        return QTest::qWaitFor([&] { return Samples() >= count; }, 30000);
    }
    void SwitchOn() const { QTest::mouseClick(Find<QPushButton>("btnMonitor"), Qt::LeftButton); }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    fs::path m_dir = fs::temp_directory_path() / ("m845-monitor-" + std::to_string(::getpid()));
    test::ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    devsim::SimServer sim{WanderingSignal()};
    std::unique_ptr<TFrm_Main> window;
    TDeviceSession *session = nullptr;
    TConfigCommands *config = nullptr;
    TMonitorPart *part = nullptr;
};

TEST_F(MonitorEndToEndTest, TheReadingFollowsTheDevicesSignal)
{
    const fs::path record = m_dir / "record.log";
    ASSERT_TRUE(config->Recorder().Start(QString::fromStdString(record.string())));
    SwitchOn();
    ASSERT_TRUE(WaitForSamples(kWalk.size() + 1)) << LogText().toStdString();

    // Each poll took the device's next value, in its order, and the label shows the last.
    const auto &samples = Monitor().Trend().Samples();
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(samples[i].csq, kWalk[i % kWalk.size()]) << i;
    const std::optional<int> last = samples.back().csq;
    QLabel *signal = Find<QLabel>("lblMonitorSignal");
    EXPECT_EQ(signal->text().toStdString(), SignalText(last));
    QTest::qWait(0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return signal->text() == QStringLiteral("-51 dBm (CSQ 31)"); }, 10000));
    EXPECT_EQ(Find<QLabel>("lblMonitorBand")->text(), QStringLiteral("Excellent"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return signal->text() == QStringLiteral("No signal (CSQ 99)"); }, 10000));
    EXPECT_EQ(Find<QLabel>("lblMonitorBand")->text(), QStringLiteral("No signal"));
    EXPECT_TRUE(Find<QLabel>("lblMonitorSocketA")
                    ->text()
                    .startsWith(QStringLiteral("Socket A: CONNECTED")));
    EXPECT_TRUE(Find<QLabel>("lblMonitorSocketB")
                    ->text()
                    .startsWith(QStringLiteral("Socket B: DISCONNECTED")));
    EXPECT_EQ(Find<QLabel>("lblMonitorFw")->text().toStdString(), sim.Param("VER"));
    EXPECT_EQ(Find<QLabel>("lblMonitorIccid")->text().toStdString(), sim.Param("ICCID"));

    // Not a line of the monitor's traffic in the log, every line of it in the record.
    const QString log = LogText();
    EXPECT_FALSE(log.contains(QStringLiteral("CSQ"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Operation complete")));
    config->Recorder().Stop();
    const std::string recorded = test::ReadFile(record);
    EXPECT_NE(recorded.find("[Tx] AT+CSQ"), std::string::npos);
    EXPECT_NE(recorded.find("[Rx] +CSQ:31,99"), std::string::npos);
    EXPECT_NE(recorded.find("[Info] Operation complete"), std::string::npos);
}

TEST_F(MonitorEndToEndTest, AReadAllWhileMonitoringPutsExactlyItsQueriesOnTheWire)
{
    SwitchOn();
    ASSERT_TRUE(WaitForSamples(3));
    QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LogText().contains(QStringLiteral("Operation complete")); }, 30000))
        << LogText().toStdString();
    const std::size_t after = Samples();
    ASSERT_TRUE(WaitForSamples(after + 2)) << "the monitor goes on after it";

    const std::vector<std::string> trace = sim.Trace();
    const auto end = std::find(trace.begin(), trace.end(), "AT+HTPFLT?");
    ASSERT_NE(end, trace.end());
    ASSERT_GE(end - trace.begin(), 40);
    const std::vector<std::string> readAll(end - 40, end + 1);
    EXPECT_EQ(readAll, kReadAllQueries);
    EXPECT_NE(std::find(end, trace.end(), "AT+CSQ"), trace.end());
    EXPECT_EQ(LogText().count(QStringLiteral("Operation complete")), 1);
}

// A verification and a guarded write are presses of other parts: they wait for the monitor's
// query like the buttons do, and the guard still stands in front of the write.
TEST_F(MonitorEndToEndTest, OtherPartsWaitForTheMonitorsQueryAndKeepTheirGuards)
{
    SwitchOn();
    ASSERT_TRUE(WaitForSamples(2));
    QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LogText().contains(QStringLiteral("Operation complete")); }, 30000));

    ASSERT_TRUE(QTest::qWaitFor([&] { return Monitor().OwnRunActive(); }, 10000));
    const std::size_t before = sim.Trace().size();
    QTest::mouseClick(Find<QPushButton>("btnVerify"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LogText().contains(QStringLiteral("values match")); }, 30000))
        << LogText().toStdString();
    EXPECT_FALSE(LogText().contains(QStringLiteral("values differ"))) << LogText().toStdString();
    // No poll between the check's queries.
    const std::vector<std::string> trace = sim.Trace();
    const auto first = std::find(trace.begin() + static_cast<long>(before), trace.end(),
                                 "AT+WKMOD?");
    const auto last = std::find(first, trace.end(), "AT+UARTFL?");
    ASSERT_NE(last, trace.end());
    EXPECT_EQ(std::find(first, last, "AT+CSQ"), last);

    Find<QAction>("mniConfirmWrite")->trigger();
    TDialogs::Script({QString()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Monitor().OwnRunActive(); }, 10000));
    const std::size_t beforeWrite = sim.Trace().size();
    QTest::mouseClick(Find<QPushButton>("btnSetAll"), Qt::LeftButton);
    EXPECT_EQ(TDialogs::Requests().size(), 1U) << "asked before anything waits for the line";
    ASSERT_TRUE(WaitForSamples(Samples() + 2));
    for (std::size_t i = beforeWrite; i < sim.Trace().size(); ++i)
        EXPECT_EQ(sim.Trace()[i].find('='), std::string::npos) << sim.Trace()[i];
}

TEST_F(MonitorEndToEndTest, APulledAdapterStopsItWithThePortAndTheTrendKeepsItsSamples)
{
    SwitchOn();
    ASSERT_TRUE(WaitForSamples(4));
    sim.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Link().IsPortOpen(); }, 10000));
    const std::size_t kept = Samples();
    EXPECT_GE(kept, 4U);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Monitor().State() == TMonitorState::NoPort; }, 5000));
    QTest::qWait(1000);
    EXPECT_EQ(Samples(), kept);
    EXPECT_EQ(Find<QLabel>("lblMonitorState")->text(),
              QStringLiteral("Waiting for the port to open"));
    // The window still answers: the switch goes off and on, a press only warns.
    SwitchOn();
    EXPECT_FALSE(Monitor().On());
    SwitchOn();
    EXPECT_TRUE(Monitor().On());
    QTest::mouseClick(Find<QPushButton>("btnCSQ"), Qt::LeftButton);
    EXPECT_TRUE(LogText().contains(QStringLiteral("Serial port is not open")));
}

TEST_F(MonitorEndToEndTest, SavesTheSessionsSamplesAsCsv)
{
    SwitchOn();
    ASSERT_TRUE(WaitForSamples(3));
    const fs::path file = m_dir / "site";
    TDialogs::Script({QString::fromStdString(file.string())});
    QTest::mouseClick(Find<QPushButton>("btnMonitorSave"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LogText().contains(QStringLiteral("Signal log saved to")); }, 10000));
    const std::string csv = test::ReadFile(m_dir / "site.csv");
    ASSERT_FALSE(csv.empty()) << LogText().toStdString();
    EXPECT_TRUE(csv.starts_with("time,CSQ,dBm,band,socket A,socket B\r\n"));
    EXPECT_NE(csv.find(",31,-51,excellent,CONNECTED,DISCONNECTED\r\n"), std::string::npos) << csv;
    EXPECT_GE(std::count(csv.begin(), csv.end(), '\n'), 4);
}

} // namespace
} // namespace m845
