// Changes and verification in the window, joined as main() joins it, against the simulated
// device: the change marks through the real panel, "Verify device" against a device that keeps
// its old value, a plain one, a refusing, a silent and a pulled one, the confirmation before a
// write, and "Compare with file...".

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "devsim/simserver.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/panelvalues.h"
#include "protocol/setall.h"
#include "ui/common/dialogs.h"
#include "ui/common/qttimer.h"
#include "ui/config/configcommands.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/changemarks.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/verify/changetracking.h"
#include "ui/verify/verifycommands.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

class VerifyWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-vfy");
    }
    static void TearDownTestSuite() { s_language.reset(); }

    void SetUp() override
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        LangList()->IsChinese = false;
        TDialogs::Script();
        Start();
    }
    void TearDown() override
    {
        m_window.reset();
        m_sim.reset();
        TDialogs::EndScript();
        LangList()->IsChinese = false;
        fs::remove_all(m_dir);
    }

    void Start()
    {
        m_window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            auto verify = std::make_unique<TVerifyCommands>(w, *session, config.get());
            m_session = session.get();
            m_config = config.get();
            m_verify = verify.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
            w.AdoptPart(std::move(verify));
        });
        m_session->Sequencer().SetCommandDelay(5);
    }

    // A device with SOCKATO at 5, on the line, greeted.
    void Connect(devsim::SimOptions options = {}, bool greets = true)
    {
        m_sim = std::make_unique<devsim::SimServer>(std::move(options));
        m_sim->SetParam("SOCKATO", "5");
        if (!greets)
            m_sim->SetParam("STMSG", "");
        const int greetings = static_cast<int>(LogText().count(QStringLiteral("[ZLM-M845]")));
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        Find<QComboBox>("cbbOpenCom")->setEditText(QString::fromStdString(m_sim->SlavePath()));
        QTest::mouseClick(Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(m_window->Link().IsPortOpen()) << LogText().toStdString();
        if (greets) {
            ASSERT_TRUE(WaitForLog("[ZLM-M845]", greetings + 1)) << LogText().toStdString();
        }
        m_window->RcvTimer().SetInterval(300);
    }

    void Unplug()
    {
        m_sim->Stop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->Link().IsPortOpen(); }, 10000));
    }

    template <typename T = QWidget> [[nodiscard]] T *Find(const char *name) const
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    [[nodiscard]] QString LogText() const
    {
        m_window->Log().Flush();
        return m_window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] bool WaitForLog(const std::string &text, int count = 1) const
    {
        const QString wanted = QString::fromStdString(text);
        return QTest::qWaitFor([&] { return LogText().count(wanted) >= count; }, 30000);
    }
    void Click(const char *button, const std::string &until, int count = 1)
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
        ASSERT_TRUE(WaitForLog(until, count)) << LogText().toStdString();
    }
    void Retype(const char *edit, const QString &text)
    {
        auto *box = Find<QLineEdit>(edit);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
        // The marks follow one turn of the event loop later.
        QCoreApplication::processEvents();
    }
    // The corner on a control: -1 none, else the TMarkKind.
    [[nodiscard]] int Mark(const char *control) const
    {
        const QWidget *corner = Find(control)->findChild<QWidget *>(QStringLiteral("chgMark"));
        return corner == nullptr ? -1 : corner->property("kind").toInt();
    }
    [[nodiscard]] QString Status() const { return Find<QLabel>("lblChanged")->text(); }
    [[nodiscard]] std::vector<std::string> TraceFrom(std::size_t start) const
    {
        const std::vector<std::string> trace = m_sim->Trace();
        return {trace.begin() + static_cast<long>(std::min(start, trace.size())), trace.end()};
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    fs::path m_dir = fs::temp_directory_path() / ("m845-vfy-" + std::to_string(::getpid()));
    test::ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    std::unique_ptr<devsim::SimServer> m_sim;
    std::unique_ptr<TFrm_Main> m_window;
    TDeviceSession *m_session = nullptr;
    TConfigCommands *m_config = nullptr;
    TVerifyCommands *m_verify = nullptr;
};

constexpr int kNotRead = static_cast<int>(TMarkKind::NotRead);
constexpr int kChanged = static_cast<int>(TMarkKind::Changed);
constexpr int kDiffers = static_cast<int>(TMarkKind::Differs);

TEST_F(VerifyWindowTest, MarksFollowEditsTheLanguageAndTheNextRead)
{
    devsim::SimOptions refusing;
    refusing.model.errCommands = {"HTPURL"};
    ASSERT_NO_FATAL_FAILURE(Connect(refusing));
    ASSERT_NO_FATAL_FAILURE(Click("btnAskAll", LangText("info_DoOver")));
    EXPECT_EQ(Status(), QStringLiteral("No value changed since read"));
    // Refused, and never asked for by a read-all.
    EXPECT_EQ(Mark("edtHTPURL"), kNotRead);
    EXPECT_EQ(Mark("edtDSTNUM"), kNotRead);
    EXPECT_EQ(Find("edtHTPURL")->toolTip(), QStringLiteral("not read from the device"));
    EXPECT_EQ(Mark("edtSockATo"), -1);

    Retype("edtSockATo", QStringLiteral("23"));
    EXPECT_EQ(Mark("edtSockATo"), kChanged);
    EXPECT_EQ(Find("edtSockATo")->toolTip(), QStringLiteral("was: 5"));
    EXPECT_EQ(Find("edtSockATo")->accessibleDescription(), QStringLiteral("was: 5"));
    EXPECT_EQ(Status(), QStringLiteral("1 value changed since read"));
    // The mark is no help text: it shows with real-time help off too, the help does not.
    QStringList shown;
    m_window->ShowHint = [&shown](const QPoint &, const QString &text, QWidget *, int) {
        shown << text;
    };
    m_window->SetRealTimeHelp(false);
    for (const char *control : {"edtSockATo", "cbbP"}) {
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
        QCoreApplication::sendEvent(Find(control), &help);
    }
    m_window->SetRealTimeHelp(true);
    EXPECT_EQ(shown, QStringList{QStringLiteral("was: 5")});
    // A hint of the panel's own stays before the mark: the port of socket A has none, the
    // serial lists have theirs.
    Find<QComboBox>("cbbBaud")->setCurrentIndex(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(Status(), QStringLiteral("2 values changed since read"));
    EXPECT_TRUE(Find("cbbBaud")->toolTip().endsWith(QStringLiteral("\nwas: 115200")))
        << Find("cbbBaud")->toolTip().toStdString();

    m_window->mni_MenuClick(QStringLiteral("mni_Cn"));
    EXPECT_EQ(Status(), QStringLiteral("自读取后已更改 2 项"));
    EXPECT_EQ(Find("edtSockATo")->toolTip(), QStringLiteral("原值：5"));
    EXPECT_TRUE(
        Find("cbbBaud")->toolTip().startsWith(QString::fromStdString(LangText("hint_cbbUart"))));
    EXPECT_EQ(Find("edtHTPURL")->toolTip(), QStringLiteral("未从设备读取"));
    m_window->mni_MenuClick(QStringLiteral("mni_En"));

    Retype("edtSockATo", QStringLiteral("5"));
    EXPECT_EQ(Mark("edtSockATo"), -1) << "edited back";
    EXPECT_TRUE(Find("edtSockATo")->toolTip().isEmpty());
    EXPECT_EQ(Status(), QStringLiteral("1 value changed since read"));

    ASSERT_NO_FATAL_FAILURE(Click("btnAskAll", LangText("info_DoOver"), 2));
    EXPECT_EQ(Mark("cbbBaud"), -1);
    EXPECT_EQ(Find("cbbBaud")->toolTip(), QString::fromStdString(LangText("hint_cbbUart")));
    EXPECT_EQ(Status(), QStringLiteral("No value changed since read"));
}

TEST_F(VerifyWindowTest, ADeviceThatKeepsItsOldValueIsCaught)
{
    devsim::SimOptions keeping;
    keeping.model.ignoreCommands = {"SOCKATO"};
    ASSERT_NO_FATAL_FAILURE(Connect(keeping));
    ASSERT_NO_FATAL_FAILURE(Click("btnAskAll", LangText("info_DoOver")));
    Retype("edtSockATo", QStringLiteral("23"));
    const std::size_t beforeWrite = m_sim->Trace().size();
    ASSERT_NO_FATAL_FAILURE(Click("btnSetAll", LangText("info_DoOver"), 2));
    const std::size_t beforeCheck = m_sim->Trace().size();

    ASSERT_NO_FATAL_FAILURE(Click("btnVerify", "values differ"));
    // The write's own commands, asked back in its order.
    std::vector<std::string> expected;
    for (const std::string &line : TraceFrom(beforeWrite))
        expected.push_back(line.substr(0, line.find('=')) + "?");
    expected.resize(beforeCheck - beforeWrite);
    EXPECT_EQ(TraceFrom(beforeCheck), expected);
    const std::string total = std::to_string(expected.size());
    EXPECT_TRUE(LogText().contains(QStringLiteral("SOCKATO: panel 23, device 5")));
    EXPECT_TRUE(LogText().contains(QString::fromStdString("1 of " + total + " values differ")));
    EXPECT_FALSE(LogText().contains(QStringLiteral("values match")));
    EXPECT_EQ(Mark("edtSockATo"), kDiffers);
    EXPECT_EQ(Find("edtSockATo")->toolTip(), QStringLiteral("was: 5\ndevice has: 5"));
    EXPECT_EQ(m_session->Panel().EditText(PanelEdit::SockATo), "23") << "the panel is left alone";
}

TEST_F(VerifyWindowTest, APlainDeviceMatchesAndARefusedQueryIsCounted)
{
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_NO_FATAL_FAILURE(Click("btnAskAll", LangText("info_DoOver")));
    BuildSetAll(m_session->Panel(), TCmd::IMEI);
    const std::string total = std::to_string(QueueCount());
    ASSERT_NO_FATAL_FAILURE(Click("btnVerify", "All " + total + " values match"));

    Unplug();
    devsim::SimOptions refusing;
    refusing.model.errCommands = {"HEARTTM"};
    ASSERT_NO_FATAL_FAILURE(Connect(refusing));
    ASSERT_NO_FATAL_FAILURE(Click("btnVerify", "values differ"));
    EXPECT_TRUE(LogText().contains(QStringLiteral("HEARTTM: not verified (refused)")));
    EXPECT_TRUE(LogText().contains(
        QString::fromStdString("0 of " + total + " values differ, 1 not verified")));
}

TEST_F(VerifyWindowTest, ASilentOrPulledDeviceGivesOneClearLineAndNoResult)
{
    devsim::SimOptions mute;
    mute.model.mute = true;
    ASSERT_NO_FATAL_FAILURE(Connect(mute, false));
    ASSERT_NO_FATAL_FAILURE(Click("btnVerify", "Verification stopped: no answer from the device "
                                               "to WKMOD; no result"));

    Unplug();
    ASSERT_NO_FATAL_FAILURE(Connect());
    QTest::mouseClick(Find<QPushButton>("btnVerify"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_sim->Trace().size() >= 8; }, 30000));
    Unplug();
    ASSERT_TRUE(WaitForLog("Verification stopped: the serial line was lost; no result"))
        << LogText().toStdString();
    EXPECT_FALSE(LogText().contains(QStringLiteral("values match")));
    EXPECT_FALSE(LogText().contains(QStringLiteral("values differ")));
}

TEST_F(VerifyWindowTest, TheConfirmationListsTheChangesAndOffChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(Connect());
    ASSERT_NO_FATAL_FAILURE(Click("btnAskAll", LangText("info_DoOver")));
    Retype("edtSockATo", QStringLiteral("23"));
    Retype("edtHeartTm", QStringLiteral("45"));

    // Off (the default): no question, and exactly the write-all's lines go out.
    EXPECT_FALSE(Find<QAction>("mniConfirmWrite")->isChecked());
    BuildSetAll(m_session->Panel(), TCmd::IMEI);
    std::vector<std::string> written;
    for (int i = 0; i < QueueCount(); ++i)
        written.push_back(QueueEntry(i).substr(0, QueueEntry(i).size() - 2));
    std::size_t before = m_sim->Trace().size();
    ASSERT_NO_FATAL_FAILURE(Click("btnSetAll", LangText("info_DoOver"), 2));
    EXPECT_EQ(TraceFrom(before), written);
    EXPECT_TRUE(TDialogs::Requests().empty());

    Find<QAction>("mniConfirmWrite")->trigger();
    TDialogs::Script({QString()});
    before = m_sim->Trace().size();
    QTest::mouseClick(Find<QPushButton>("btnSetAll"), Qt::LeftButton);
    ASSERT_EQ(TDialogs::Requests().size(), 1U);
    const TDialogRequest &asked = TDialogs::Requests().front();
    EXPECT_EQ(asked.kind, TDialogKind::Question);
    EXPECT_EQ(asked.detail, QStringLiteral("SOCKATO: was 5, now 23\nHEARTTM: was 30, now 45"));
    EXPECT_TRUE(asked.text.contains(QStringLiteral("2 values changed since read")));
    EXPECT_TRUE(WaitForLog(LangText("info_WriteCancelled")));
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{}) << "no said no";

    TDialogs::Script({QStringLiteral("yes")});
    ASSERT_NO_FATAL_FAILURE(Click("btnSetAll", LangText("info_DoOver"), 3));
    EXPECT_EQ(TraceFrom(before), written);

    // Kept in a section of its own, and back at the next start.
    m_window->close();
    m_window.reset();
    EXPECT_NE(test::ReadFile(m_dir / "M845Cfg.ini").find("[Verify]\nConfirmWrite=1\n"),
              std::string::npos);
    Start();
    EXPECT_TRUE(m_verify->ConfirmWrite());
}

TEST_F(VerifyWindowTest, CompareWithFileListsDifferencesAndLeavesThePanel)
{
    TDialogs::Script({QString::fromStdString((m_dir / "other.ini").string())});
    Find<QAction>("mniSaveIni")->trigger();
    std::string text = test::ReadFile(m_dir / "other.ini");
    const std::size_t at = text.find("SOCKATO=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find('\n', at) - at, "SOCKATO=17");
    std::ofstream(m_dir / "other.ini") << text;
    std::ofstream(m_dir / "nomode.ini") << "[Socket]\nSOCKATO=17\n";
    const TPanelValues before = TakePanelValues(m_session->Panel());
    const std::string own = m_session->Panel().EditText(PanelEdit::SockATo);

    for (const char *name : {"other.ini", "nomode.ini", "missing.ini", "."})
        m_verify->CompareWithFile(QString::fromStdString((m_dir / name).string()));
    const QString log = LogText();
    EXPECT_TRUE(log.contains(QString::fromStdString("SOCKATO: panel " + own + ", file 17")));
    EXPECT_TRUE(log.contains(
        QString::fromStdString("Compared with " + (m_dir / "other.ini").string() + ": 1 of "
                               + std::to_string(SetParameters().size()) + " values differ")));
    EXPECT_TRUE(log.contains(QStringLiteral("nomode.ini is not a configuration file")));
    EXPECT_EQ(log.count(QStringLiteral("Cannot read the configuration file")), 2);
    EXPECT_EQ(TakePanelValues(m_session->Panel()), before);
    EXPECT_EQ(m_verify->Tracking().Changes().size(), 0U);

    // Opening the file is a read from the file: its values are the new baseline.
    Retype("edtSockATo", QStringLiteral("99"));
    TDialogs::Script({QString::fromStdString((m_dir / "other.ini").string())});
    Find<QAction>("mniLoadIni")->trigger();
    EXPECT_EQ(m_session->Panel().EditText(PanelEdit::SockATo), "17");
    EXPECT_EQ(Status(), QStringLiteral("No value changed since read"));
}

} // namespace
} // namespace m845
