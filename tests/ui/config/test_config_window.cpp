// The configuration file through the real panel and the real window (joined as main() joins
// it, data folder in a temporary folder, every dialog pre-answered): start, change, close,
// start again; the File menu's commands; failures at close; session recording.

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "common/config_contract.h"
#include "common/file_text.h"
#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "protocol/valueforms.h"
#include "protocol/setall.h"
#include "serial/pty_pair.h"
#include "ui/common/dialogs.h"
#include "ui/config/configcommands.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/terminal/sessionrecorder.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845::test {

struct TRealConfigPanelTag
{
};

template <> struct ConfigPanelFactory<TRealConfigPanelTag>
{
    static std::unique_ptr<IPanel> Make() { return std::make_unique<TParamPanel>(); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RealPanel, ConfigContract, ::testing::Types<TRealConfigPanelTag>);

namespace {

class ConfigWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-cfgwin");
    }
    static void TearDownTestSuite()
    {
        s_language.reset();
    }
    void SetUp() override
    {
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        LangList()->IsChinese = false;
        TDialogs::Script();
    }
    void TearDown() override
    {
        m_window.reset();
        TDialogs::EndScript();
        LangList()->IsChinese = false;
        std::filesystem::remove_all(m_dir);
    }

    // As main() joins the window; languageForTheRun as --lang gives it.
    void Start(std::optional<bool> languageForTheRun = std::nullopt)
    {
        m_window = std::make_unique<TFrm_Main>([this, languageForTheRun](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            m_session = session.get();
            m_config = config.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
            if (languageForTheRun)
                w.OverrideLanguage(*languageForTheRun);
        });
    }
    void Close()
    {
        m_window->close();
        m_window.reset();
    }
    [[nodiscard]] std::string CfgPath() const { return (m_dir / "M845Cfg.ini").string(); }
    [[nodiscard]] QString LogText() const
    {
        m_window->Log().Flush();
        return m_window->Log().Dialog()->toPlainText();
    }
    [[nodiscard]] IPanel &Panel() const { return m_session->Panel(); }

    std::filesystem::path m_dir
        = std::filesystem::temp_directory_path() / ("m845-cfgwin-" + std::to_string(::getpid()));
    ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    std::unique_ptr<TFrm_Main> m_window;
    TDeviceSession *m_session = nullptr;
    TConfigCommands *m_config = nullptr;
    static inline std::unique_ptr<test::ScopedLanguage> s_language;
};

TEST_F(ConfigWindowTest, ChangesSurviveARestart)
{
    Start();
    EXPECT_EQ(Panel().EditText(PanelEdit::StMsg), "[ZLM-M845]");
    Panel().SetEditText(PanelEdit::StMsg, "hello");
    Panel().SetRadioChecked(PanelRadio::Udc, true);
    m_window->mni_MenuClick(QStringLiteral("mni_Cn"));
    m_window->SetRealTimeHelp(false);
    m_window->SendPane().pmSendClick(kSendKeyEnter);
    Close();
    const std::string file = ReadFile(CfgPath());
    for (std::string_view line : {"Language=1\n", "ReadTimeHelp=0\n", "SendShortCutTag=1\n",
                                  "WKMOD=UDC\n", "STMSG=hello\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line;

    LangList()->IsChinese = false;
    Start();
    EXPECT_EQ(Panel().EditText(PanelEdit::StMsg), "hello");
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::NetTran)) << "start-up selects NET";
    EXPECT_TRUE(LangList()->IsChinese);
    EXPECT_TRUE(m_window->findChild<QAction *>(QStringLiteral("mni_Cn"))->isChecked());
    EXPECT_FALSE(m_window->RealTimeHelp());
    EXPECT_EQ(m_window->SendPane().SendKeyTag(), kSendKeyEnter);
}

TEST_F(ConfigWindowTest, ALanguageForOneRunLeavesTheStoredOne)
{
    std::ofstream(CfgPath()) << "[System]\nLanguage=0\n";
    Start(true);
    EXPECT_TRUE(LangList()->IsChinese);
    EXPECT_TRUE(m_window->findChild<QAction *>(QStringLiteral("mni_Cn"))->isChecked());
    Close();
    EXPECT_NE(ReadFile(CfgPath()).find("Language=0\n"), std::string::npos);

    // A language chosen from the menu is the user's own, and is kept.
    Start(false);
    m_window->mni_MenuClick(QStringLiteral("mni_Cn"));
    Close();
    EXPECT_NE(ReadFile(CfgPath()).find("Language=1\n"), std::string::npos);
}

TEST_F(ConfigWindowTest, StoredModeAndVariantAtStartUp)
{
    std::ofstream(CfgPath()) << "[System]\nHdVerSign=hdbirch\nCustom=1\n[WKMOD]\nWKMOD=SMS\n"
                                "[Heart]\nHEARTSND=COM\n[Socket]\nSOCKA=UDP,192.168.0.7,502\n"
                                "SOCKASL=SHORT\n";
    Start();
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::NetTran));
    EXPECT_EQ(Panel().ComboIndex(PanelCombo::HeartSnd), 0) << "the NET selection resets it";
    EXPECT_EQ(Panel().ComboItem(PanelCombo::RegTp, 1), "IMEI Code");
    EXPECT_EQ(m_session->Applier().HardwareSign(), THdVerSign::HdBirch);
    EXPECT_FALSE(m_window->findChild<QAction *>(QStringLiteral("mni_Up"))->isVisible());
    const auto *asl = m_window->findChild<QComboBox *>(QStringLiteral("cbbASL"));
    EXPECT_EQ(asl->currentIndex(), 1) << "UDP ends LONG";
    EXPECT_TRUE(asl->isHidden());
}

TEST_F(ConfigWindowTest, SaveAsAndOpenGoThroughTheSameCode)
{
    Start();
    const QString saved = QString::fromStdString((m_dir / "site").string());
    Panel().SetRadioChecked(PanelRadio::Httpd, true);
    Panel().SetEditText(PanelEdit::HTPURL, "/site.php");
    TDialogs::Script({saved});
    m_config->mniSaveIniClick();
    ASSERT_TRUE(std::filesystem::exists(m_dir / "site.ini")) << "the suffix is added";
    EXPECT_EQ(TDialogs::Requests().at(0).text, QString::fromStdString(CfgPath()));

    Panel().SetRadioChecked(PanelRadio::NetTran, true);
    Panel().SetEditText(PanelEdit::HTPURL, "/other");
    TDialogs::Script({saved + QStringLiteral(".ini")});
    m_config->mniLoadIniClick();
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::Httpd)) << "an opened file keeps its mode";
    EXPECT_EQ(Panel().EditText(PanelEdit::HTPURL), "/site.php");
    EXPECT_EQ(TDialogs::Requests().at(0).text, QString::fromStdString(m_dir.string()))
        << "the last folder used";
    EXPECT_TRUE(LogText().contains(QStringLiteral("Configuration loaded from")));

    m_config->mniLoadDfltClick();
    EXPECT_EQ(Panel().EditText(PanelEdit::HTPURL), "/1.php[3F]");
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::NetTran));
}

// "customer" is written as customer.ini, so the overwrite question must name that file. The
// real dialog (no script) is answered as a user would: type, save, refuse, cancel.
TEST_F(ConfigWindowTest, SaveAsAsksAboutTheFileItReallyWrites)
{
    Start();
    std::ofstream(m_dir / "customer.ini") << "kept";
    TDialogs::EndScript();
    QString question;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            question = box->text();
            box->button(QMessageBox::No)->click();
        } else if (dialog && question.isEmpty()) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("customer"));
            // Queued: the question it asks needs this timer to fire again.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (dialog) {
            dialog->reject();
        }
    });
    user.start(10);
    m_config->mniSaveIniClick();
    EXPECT_TRUE(question.startsWith(QStringLiteral("customer.ini"))) << question.toStdString();
    EXPECT_EQ(ReadFile(m_dir / "customer.ini"), "kept");
}

TEST_F(ConfigWindowTest, AFileThatCannotBeReadChangesNothing)
{
    Start();
    std::filesystem::create_directories(m_dir / "folder.ini");
    Panel().SetEditText(PanelEdit::HTPURL, "/kept");
    TDialogs::Script({QString::fromStdString((m_dir / "folder.ini").string())});
    m_config->mniLoadIniClick();
    m_config->mniLoadLastIniClick(); // nothing saved yet
    EXPECT_EQ(Panel().EditText(PanelEdit::HTPURL), "/kept");
    EXPECT_EQ(LogText().count(QStringLiteral("Cannot read the configuration file")), 2);
    EXPECT_TRUE(LogText().contains(QString::fromStdString((m_dir / "folder.ini").string())));
}

TEST_F(ConfigWindowTest, AFailedSaveAtCloseSaysSoAndTheWindowCloses)
{
    std::filesystem::create_directories(CfgPath());
    Start();
    EXPECT_TRUE(LogText().contains(QStringLiteral("the defaults are used")));
    EXPECT_EQ(Panel().EditText(PanelEdit::CmdPw), "vorbe");
    Close();
    ASSERT_EQ(TDialogs::Requests().size(), 1u);
    EXPECT_EQ(TDialogs::Requests()[0].kind, TDialogKind::Warning);
    EXPECT_EQ(TDialogs::Requests()[0].text,
              QStringLiteral("Unable to write to ") + QString::fromStdString(CfgPath()));
    EXPECT_TRUE(std::filesystem::is_directory(CfgPath()));
}

TEST_F(ConfigWindowTest, MenuCaptionsFollowTheLanguage)
{
    Start();
    const auto caption = [this](const char *name) {
        return m_window->findChild<QAction *>(QString::fromLatin1(name))->text();
    };
    EXPECT_EQ(caption("mniLoadIni"), QStringLiteral("Open configuration file..."));
    EXPECT_EQ(caption("mniRecord"), QStringLiteral("Record to file"));
    m_window->mni_MenuClick(QStringLiteral("mni_Cn"));
    EXPECT_EQ(caption("mniLoadIni"), QStringLiteral("打开配置文件..."));
    EXPECT_EQ(caption("mniSaveIni"), QStringLiteral("保存配置文件..."));
    EXPECT_EQ(caption("mniLoadDflt"), QStringLiteral("载入默认参数"));
    EXPECT_EQ(caption("mniLoadLastIni"), QStringLiteral("载入最近配置"));
    // In the File menu, above Exit.
    const QList<QAction *> file
        = qobject_cast<QMenu *>(
              m_window->findChild<QAction *>(QStringLiteral("mni_Exit"))->parent())
              ->actions();
    EXPECT_EQ(file.first()->objectName(), QStringLiteral("mniLoadIni"));
    EXPECT_EQ(file.last()->objectName(), QStringLiteral("mni_Exit"));
}

// A reply that ticks a clear Hex box must leave the device's value in the box, so that the
// next write-all sends it and not the converted old text.
TEST_F(ConfigWindowTest, DataRepliesThatTickTheHexBoxShowTheDevicesValue)
{
    Start();
    IPanel &p = Panel();
    const struct
    {
        const char *name;
        PanelCheck hex;
        PanelCheck enable;
    } rows[] = {{"REGDT", PanelCheck::RegDtHex, PanelCheck::RegEn},
                {"HEARTDT", PanelCheck::HeartDtHex, PanelCheck::HeartEn}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        p.SetChecked(row.enable, true);
        p.SetChecked(row.hex, false);
        m_session->Applier().ApplyValue(row.name, "31323334");
        BuildSetAll(p, m_session->Applier().IdentityCmd());
        bool sent = false;
        for (int i = 0; i < QueueCount(); ++i)
            sent = sent || QueueEntry(i) == "AT+" + std::string(row.name) + "=31323334\r\n";
        EXPECT_TRUE(sent);
    }
    QueueClear();
}

// Every named control of the panel as a line: value, list items, shown and enabled.
QStringList PanelControls(const QWidget &panel)
{
    QStringList lines;
    for (const QWidget *w : panel.findChildren<QWidget *>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        QString value;
        if (const auto *button = qobject_cast<const QAbstractButton *>(w))
            value = button->isChecked() ? QStringLiteral("checked") : QStringLiteral("clear");
        else if (const auto *box = qobject_cast<const QComboBox *>(w)) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            value = QString::number(box->currentIndex()) + QLatin1Char(' ')
                    + items.join(QLatin1Char('|'));
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(w))
            value = edit->text();
        lines << name + QLatin1Char('=') + value + (w->isHidden() ? QStringLiteral(" hidden") : QString())
                     + (w->isEnabled() ? QString() : QStringLiteral(" disabled"));
    }
    // The pages of the modes change places with the mode: compare by name.
    lines.sort();
    return lines;
}

TEST_F(ConfigWindowTest, LoadDefaultsGivesThePanelOfAFirstStartControlByControl)
{
    Start();
    const QStringList firstStart = PanelControls(m_session->Panel());
    // A device read into the panel: another mode on the way, values in every group, an Alder
    // device's identity.
    TReplyApplier &device = m_session->Applier();
    for (const auto &[name, value] : std::vector<std::pair<const char *, const char *>>{
             {"HDVER", "1.0.5"}, {"WKMOD", "UDC"}, {"SOCKA", "UDP,10.1.1.1,9000"},
             {"SOCKBEN", "ON"}, {"SOCKB", "TCP,example.net,81"}, {"SOCKASL", "SHORT"},
             {"REGEN", "ON"}, {"REGTP", "CLOUD"}, {"CLOUD", "00000042,pw"}, {"ICCID", "8986"},
             {"MEID", "A1000012345678"}, {"ID", "udc-7"}, {"HEARTDT", "31323334"},
             {"HEARTEN", "OFF"}, {"E", "OFF"}, {"UART", "9600,7,2,EVEN,RS485"},
             {"WKMOD", "SMS"}, {"DSTNUM", "13800138000"}, {"WKMOD", "NET"}})
        device.ApplyValue(name, value);
    Panel().SetChecked(PanelCheck::More, true);
    ASSERT_NE(PanelControls(m_session->Panel()), firstStart);

    m_config->mniLoadDfltClick();
    const QStringList defaults = PanelControls(m_session->Panel());
    for (qsizetype i = 0; i < std::min(firstStart.size(), defaults.size()); ++i)
        EXPECT_EQ(defaults[i].toStdString(), firstStart[i].toStdString());
    EXPECT_EQ(defaults.size(), firstStart.size());
    EXPECT_EQ(device.HardwareSign(), THdVerSign::HdCedar);
}

TEST_F(ConfigWindowTest, ARunTimeLoadChangesTheParametersAndNothingOfTheToolsOwn)
{
    // Chinese for this run only, as --lang gives it; the file says English.
    Start(true);
    ASSERT_TRUE(m_config->Recorder().Start(QString::fromStdString((m_dir / "rec.log").string())));
    m_window->SendPane().pmSendClick(kSendKeyEnter);
    auto *port = m_window->SerialBar().PortBox();
    port->setEditText(QStringLiteral("/dev/ttyChosen"));
    auto *baud = m_window->findChild<QComboBox *>(QStringLiteral("cbbOpenBaud"));
    baud->setCurrentText(QStringLiteral("9600"));
    const QString caption = m_window->findChild<QAbstractButton *>(QStringLiteral("btnAskAll"))->text();

    const std::string file = (m_dir / "other.ini").string();
    std::ofstream(file) << "[System]\nLanguage=0\nSendShortCutTag=2\nReadTimeHelp=0\n"
                           "[OpenUart]\nComName=/dev/ttyOther\nBaudRate=57600\n"
                           "[WKMOD]\nWKMOD=HTTPD\n[HTTPD]\nHTPURL=/other.php\n"
                           "[Session]\nRecord=0\nRecordFile=/tmp/elsewhere.log\n";
    for (const bool defaults : {false, true}) {
        TDialogs::Script({QString::fromStdString(file)});
        if (defaults)
            m_config->mniLoadDfltClick();
        else
            m_config->mniLoadIniClick();
        EXPECT_TRUE(LangList()->IsChinese);
        EXPECT_EQ(m_window->findChild<QAbstractButton *>(QStringLiteral("btnAskAll"))->text(),
                  caption);
        EXPECT_TRUE(m_config->Recorder().IsOn());
        EXPECT_EQ(m_config->Recorder().File().toStdString(), (m_dir / "rec.log").string());
        EXPECT_EQ(m_window->SendPane().SendKeyTag(), kSendKeyEnter);
        EXPECT_TRUE(m_window->RealTimeHelp());
        EXPECT_EQ(port->currentText(), QStringLiteral("/dev/ttyChosen"));
        EXPECT_EQ(baud->currentText(), QStringLiteral("9600"));
    }
    // The parameters did change, each time.
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::NetTran)) << "the defaults' mode";
    TDialogs::Script({QString::fromStdString(file)});
    m_config->mniLoadIniClick();
    EXPECT_TRUE(Panel().RadioChecked(PanelRadio::Httpd));
    EXPECT_EQ(Panel().EditText(PanelEdit::HTPURL), "/other.php");
}

class RecorderTest : public ConfigWindowTest
{
protected:
    [[nodiscard]] TSessionRecorder &Recorder() const { return m_config->Recorder(); }
    [[nodiscard]] std::string Record() const { return ReadFile(m_dir / "session.log"); }
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

TEST_F(RecorderTest, ControlBytesAreEscapedAndLineBreaksStillMakeLines)
{
    Start();
    ASSERT_TRUE(Recorder().Start(RecordPath()));
    m_window->Log().LogRx("\x1B[2J+VER:1\x07\r\n\r\nOK\rnext\x7F\r\n");
    const std::string record = Record();
    EXPECT_EQ(record.find('\x1B'), std::string::npos);
    EXPECT_NE(record.find("[Rx] \\x1B[2J+VER:1\\x07\n"), std::string::npos) << record;
    EXPECT_NE(record.find("[Rx] OK\n"), std::string::npos);
    EXPECT_NE(record.find("[Rx] next\\x7F\n"), std::string::npos);
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
    EXPECT_NE(
        ReadFile(CfgPath()).find("[Session]\nRecord=1\nRecordFile=" + RecordPath().toStdString()),
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
    const std::string text = ReadFile(saved);
    EXPECT_NE(text.find("中文 line\nafter\n"), std::string::npos) << text;
}

} // namespace
} // namespace m845::test
