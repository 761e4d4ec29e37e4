// The whole window against the simulated device on a pseudo-terminal: open the port, read all
// parameters, edit the panel, write them back, and lose the line in the middle of a run.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/readall_wire.h"
#include "common/scoped_language.h"
#include "core/link.h"
#include "devsim/simserver.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

// The entry pair first: the device is in data transfer when the port opens.
std::vector<std::string> ReadAllTrace()
{
    std::vector<std::string> trace = {"+++", "a"};
    trace.insert(trace.end(), test::kReadAllQueries.begin(), test::kReadAllQueries.end());
    return trace;
}

class DeviceEndToEndTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-e2e");
    }
    static void TearDownTestSuite()
    {
        s_language.reset();
    }

    void SetUp() override
    {
        LangList()->IsChinese = false;
        // Values a factory device would not hold, so that the panel visibly takes them.
        sim.SetParam("SOCKA", "UDP,203.0.113.7,5001");
        sim.SetParam("SOCKB", "TCP,example.net,9000");
        sim.SetParam("SOCKBEN", "ON");
        sim.SetParam("APN", "CMIOT,,,1");
        sim.SetParam("HEARTDT", "48454C4C4F");
        sim.SetParam("HEARTTM", "45");
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;

        window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto part = std::make_unique<TDeviceSession>(w);
            session = part.get();
            w.AdoptPart(std::move(part));
        });
        ASSERT_NE(session, nullptr);
        // The pause is the device's business; a short one keeps the test quick.
        session->Sequencer().SetCommandDelay(5);

        auto *port = Find<QComboBox>("cbbOpenCom");
        port->setEditText(QString::fromStdString(sim.SlavePath()));
        QTest::mouseClick(Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(window->Link().IsPortOpen()) << LogText().toStdString();
        // The device powers on with the line and greets first; a greeting that arrived in the
        // middle of a run would stop its reply timer, as any unrecognised block does.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return LogText().contains(QString::fromStdString(sim.Param("STMSG"))); }, 10000));
        // Opening sets the five-second reply timer; the device is in data transfer, so the
        // first query goes unanswered once: wait less for that.
        window->RcvTimer().SetInterval(400);
    }

    void TearDown() override
    {
        window.reset();
        sim.Stop();
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
    [[nodiscard]] bool WaitForCompletions(int count) const
    {
        return QTest::qWaitFor(
            [&] { return LogText().count(QStringLiteral("Operation complete")) >= count; }, 30000);
    }
    void ReadAll()
    {
        QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
        ASSERT_TRUE(WaitForCompletions(1)) << LogText().toStdString();
    }
    static void Retype(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    devsim::SimServer sim{devsim::SimOptions{}};
    std::unique_ptr<TFrm_Main> window;
    TDeviceSession *session = nullptr;
};

TEST_F(DeviceEndToEndTest, ReadAllFromDataTransferEntersCommandModeAndFillsThePanel)
{
    ReadAll();
    EXPECT_EQ(sim.Trace(), ReadAllTrace());
    EXPECT_TRUE(window->ProgressBar()->isHidden());

    const TParamPanel &panel = session->Panel();
    EXPECT_TRUE(panel.RadioChecked(PanelRadio::NetTran));
    EXPECT_TRUE(panel.Checked(PanelCheck::E));
    EXPECT_EQ(panel.ComboText(PanelCombo::ProtocolA), "UDP");
    EXPECT_EQ(panel.EditText(PanelEdit::AddrA), "203.0.113.7");
    EXPECT_EQ(panel.EditText(PanelEdit::PortA), "5001");
    EXPECT_TRUE(panel.Checked(PanelCheck::SktB));
    EXPECT_EQ(panel.EditText(PanelEdit::AddrB), "example.net");
    EXPECT_EQ(panel.EditText(PanelEdit::Apn), "CMIOT,,,1");
    EXPECT_TRUE(panel.Checked(PanelCheck::HeartDtHex));
    EXPECT_EQ(panel.EditText(PanelEdit::HeartDt), "48454C4C4F");
    EXPECT_EQ(panel.EditText(PanelEdit::HeartTm), "45");
    EXPECT_EQ(panel.EditText(PanelEdit::CmdPw), sim.Param("CMDPW"));
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), sim.Param("STMSG"));
    EXPECT_EQ(panel.ComboItem(PanelCombo::RegDt, 0), sim.Param("ICCID"));
    EXPECT_EQ(panel.ComboItem(PanelCombo::RegDt, 1), sim.Param("IMEI"));
    EXPECT_EQ(panel.ComboText(PanelCombo::Baud), "115200");
    EXPECT_EQ(panel.ComboText(PanelCombo::P), "NONE");
}

TEST_F(DeviceEndToEndTest, WriteAllSendsTheEditedPanelInItsOrder)
{
    ReadAll();
    const std::size_t before = sim.Trace().size();
    Retype(Find<QLineEdit>("edtAddrA"), QStringLiteral("198.51.100.20"));
    Retype(Find<QLineEdit>("edtHeartTm"), QStringLiteral("60"));

    QTest::mouseClick(Find<QPushButton>("btnSetAll"), Qt::LeftButton);
    ASSERT_TRUE(WaitForCompletions(2)) << LogText().toStdString();

    const std::vector<std::string> trace = sim.Trace();
    const std::vector<std::string> written(trace.begin() + static_cast<long>(before), trace.end());
    const std::vector<std::string> expected = {
        "AT+WKMOD=NET",
        "AT+SOCKAEN=ON",
        "AT+SOCKA=UDP,198.51.100.20,5001",
        "AT+SOCKASL=LONG",
        "AT+SOCKATO=" + sim.Param("SOCKATO"),
        "AT+SOCKBEN=ON",
        "AT+SOCKB=TCP,example.net,9000",
        "AT+SOCKBSL=" + sim.Param("SOCKBSL"),
        "AT+SOCKBTO=" + sim.Param("SOCKBTO"),
        "AT+SOCKRSTIM=" + sim.Param("SOCKRSTIM"),
        "AT+HEARTEN=ON",
        "AT+HEARTTM=60",
        "AT+HEARTDT=48454C4C4F",
        "AT+HEARTSND=NET",
        "AT+REGEN=" + sim.Param("REGEN"),
        "AT+SOCKIND=OFF",
        "AT+UART=115200,8,1,NONE",
        "AT+UARTFT=" + sim.Param("UARTFT"),
        "AT+UARTFL=" + sim.Param("UARTFL"),
    };
    EXPECT_EQ(written, expected);
    EXPECT_EQ(sim.Param("SOCKA"), "UDP,198.51.100.20,5001");
    EXPECT_EQ(sim.Param("HEARTTM"), "60");
    EXPECT_EQ(LogText().count(QStringLiteral("+ERR:")), 0);
}

TEST_F(DeviceEndToEndTest, ALineLostInTheMiddleOfARunLeavesTheWindowWorking)
{
    QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.Trace().size() >= 10; }, 30000));
    sim.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Link().IsPortOpen(); }, 10000));
    // The run rests; a new press only warns.
    QTest::mouseClick(Find<QPushButton>("btnAskAll"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LogText().contains(QStringLiteral("Serial port is not open")); }, 5000));
    EXPECT_FALSE(window->Comm().IsOpen());
}

} // namespace
} // namespace m845
