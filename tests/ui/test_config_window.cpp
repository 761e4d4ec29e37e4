// The configuration file through the real panel and the real window: start, change, close,
// start again; the File menu's commands with pre-answered dialogs; failures at close.

#include <memory>
#include <string>

#include <QAction>
#include <QComboBox>
#include <QMenu>

#include "common/config_contract.h"
#include "config_window_fixture.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "ui/parampanel.h"
#include "ui/sendpane.h"

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
    const std::string file = Read(CfgPath());
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

} // namespace
} // namespace m845::test
