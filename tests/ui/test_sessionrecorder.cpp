// Session recording: every log entry reaches the file stamped, with separators at the port's
// open and close, whatever the display drops; an unwritable file warns and switches off.

#include <regex>
#include <string>

#include <QAction>
#include <QtTest/QTest>

#include "config_window_fixture.h"
#include "serial/pty_pair.h"
#include "ui/linkcontrol.h"
#include "ui/serialbar.h"
#include "ui/sessionrecorder.h"

namespace m845::test {
namespace {

class RecorderTest : public ConfigWindowTest
{
protected:
    [[nodiscard]] TSessionRecorder &Recorder() const { return m_config->Recorder(); }
    [[nodiscard]] std::string Record() const { return Read(m_dir / "session.log"); }
    [[nodiscard]] QString RecordPath() const
    {
        return QString::fromStdString((m_dir / "session.log").string());
    }
};

TEST_F(RecorderTest, EveryEntryIsStampedEvenPastTheDisplaysLimit)
{
    Start();
    ASSERT_TRUE(Recorder().Start(RecordPath()));
    m_window->Log().SetLineLimitForTest(20);
    for (int i = 0; i < 100; ++i)
        m_window->Log().LogInfo("entry " + std::to_string(i));
    m_window->Log().LogRx("+WKMOD:NET\r\n\r\nOK\r\n");
    m_window->Log().LogWarn("careful");
    EXPECT_LT(m_window->Log().Dialog()->blockCount(), 20);
    const std::string record = Record();
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[Info\] entry 99\n)");
    EXPECT_TRUE(std::regex_search(record, stamped)) << record.substr(0, 200);
    for (int i = 0; i < 100; ++i)
        EXPECT_NE(record.find("[Info] entry " + std::to_string(i) + "\n"), std::string::npos);
    EXPECT_NE(record.find("[Rx] +WKMOD:NET\n"), std::string::npos);
    EXPECT_NE(record.find("[Rx] OK\n"), std::string::npos);
    EXPECT_NE(record.find("[Warn] careful\n"), std::string::npos);
}

TEST_F(RecorderTest, PortOpenAndCloseAreMarkedAndTheBootOutputCaught)
{
    Start();
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    ASSERT_TRUE(Recorder().Start(RecordPath()));
    m_window->SerialBar().PortBox()->setEditText(QString::fromStdString(pty.SlavePath()));
    m_window->Link().btnSysClick();
    ASSERT_TRUE(m_window->Link().IsPortOpen());
    ASSERT_TRUE(pty.Write("BOOT v1\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return Record().find("BOOT v1") != std::string::npos; }));
    m_window->Link().btnSysClick();
    const std::string record = Record();
    const auto opened = record.find("----- Port " + pty.SlavePath() + " opened at 115200 baud");
    const auto boot = record.find("[Rx] BOOT v1");
    const auto closed = record.find("----- Port closed");
    ASSERT_NE(opened, std::string::npos) << record;
    EXPECT_LT(opened, boot);
    EXPECT_LT(boot, closed);
    EXPECT_NE(closed, std::string::npos);

    // The configuration is saved at close even with the port open, the switch with it.
    m_window->Link().btnSysClick();
    ASSERT_TRUE(m_window->Link().IsPortOpen());
    Close();
    EXPECT_NE(Read(CfgPath()).find("[Session]\nRecord=1\nRecordFile=" + RecordPath().toStdString()),
              std::string::npos);
    Start();
    EXPECT_TRUE(Recorder().IsOn()) << "switched on again at start";
    EXPECT_EQ(Recorder().File(), RecordPath());
}

TEST_F(RecorderTest, AnUnwritableFileWarnsOnceAndSwitchesOff)
{
    Start();
    std::ofstream(m_dir / "plain") << "x";
    const QString targets[] = {QStringLiteral("/dev/full"),
                               QString::fromStdString((m_dir / "plain" / "x.log").string())};
    for (const QString &target : targets) {
        SCOPED_TRACE(target.toStdString());
        TDialogs::Script({target});
        Recorder().RecordAction()->trigger();
        EXPECT_FALSE(Recorder().IsOn());
        EXPECT_FALSE(Recorder().RecordAction()->isChecked());
        EXPECT_EQ(LogText().count(QStringLiteral("Cannot write the record file ") + target), 1);
    }
    m_window->Log().LogInfo("the program goes on");
    EXPECT_TRUE(LogText().contains(QStringLiteral("the program goes on")));
}

TEST_F(RecorderTest, TheMenuSwitchAndSaveLogAs)
{
    Start();
    TDialogs::Script({RecordPath()});
    Recorder().RecordAction()->trigger();
    EXPECT_TRUE(Recorder().IsOn());
    m_window->Log().LogInfo("中文 line");
    Recorder().RecordAction()->trigger();
    EXPECT_FALSE(Recorder().IsOn());
    m_window->Log().LogInfo("after");
    EXPECT_NE(Record().find("[Info] 中文 line\n"), std::string::npos);
    EXPECT_EQ(Record().find("after"), std::string::npos);

    const auto saved = m_dir / "saved.txt";
    TDialogs::Script({QString::fromStdString(saved.string())});
    Recorder().SaveLogAs(m_window->Log().Dialog());
    const std::string text = Read(saved);
    EXPECT_NE(text.find("中文 line\nafter\n"), std::string::npos) << text;
}

} // namespace
} // namespace m845::test
