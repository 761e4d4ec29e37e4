// The panel's interlocks, driven through the real widgets.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>

#include "core/log.h"
#include "common/quiet_log.h"
#include "protocol/reply.h"
#include "protocol/valueforms.h"
#include "test_parampanel_fixture.h"

namespace m845::test {
namespace {

using RulesTest = ParamPanelTest;

constexpr const char *kConnKinds[] = {"cbbASL", "cbbBSL", "cbbCSL", "cbbDSL"};

TEST_F(RulesTest, UdcShowsTheNetPageWithTheUdcRestrictions)
{
    W<QComboBox>("cbbASL")->setCurrentIndex(0);
    QTest::mouseClick(W<QRadioButton>("rbUdc"), Qt::LeftButton);

    ASSERT_TRUE(W<QRadioButton>("rbUdc")->isChecked());
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Net_en"));
    EXPECT_EQ(W<QStackedWidget>("rzpgcntrlPara")->currentIndex(), 0);
    EXPECT_EQ(W<QGroupBox>("rzgrpbxPara")->title(), QStringLiteral("UDC Mode parameters"));

    auto *regEn = W<QCheckBox>("rzchckbxRegEn");
    auto *heartEn = W<QCheckBox>("rzchckbxHeartEn");
    EXPECT_TRUE(regEn->isChecked());
    EXPECT_FALSE(regEn->isEnabled());
    EXPECT_TRUE(heartEn->isChecked());
    EXPECT_FALSE(heartEn->isEnabled());
    EXPECT_TRUE(Shown("rzgrpbxReg"));
    EXPECT_TRUE(Shown("rzgrpbxHeart"));
    for (const char *name : {"lblRegTp", "cbbRegTp", "lblRegDt", "cbbRegDt", "lblRegSnd",
                             "cbbRegSnd", "edtCloudPa", "rzchckbxRegDtHex", "lblHeartDt",
                             "edtHeartDt", "rzchckbxHeartDtHex", "lblHeartSnd", "cbbHeartSnd"})
        EXPECT_FALSE(Shown(name)) << name;
    EXPECT_TRUE(Shown("lblUdcId"));
    EXPECT_TRUE(W("edtUdcId")->isVisible());
    EXPECT_TRUE(W("edtHeartTm")->isVisible());
    EXPECT_EQ(W<QComboBox>("cbbRegSnd")->currentIndex(), 0);
    EXPECT_EQ(W<QLineEdit>("cbbRegDt")->toolTip(), QStringLiteral("Length must be 11"));
    for (const char *name : kConnKinds) {
        EXPECT_EQ(W<QComboBox>(name)->currentText(), QStringLiteral("Long Connection")) << name;
        EXPECT_FALSE(W<QComboBox>(name)->isEnabled()) << name;
    }
}

TEST_F(RulesTest, LeavingUdcRestoresAccessButKeepsTheForcedValues)
{
    QTest::mouseClick(W<QRadioButton>("rbUdc"), Qt::LeftButton);
    QTest::mouseClick(W<QRadioButton>("rbHttpd"), Qt::LeftButton);
    EXPECT_EQ(W<QStackedWidget>("rzpgcntrlPara")->currentIndex(), 1);
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Http_en"));
    EXPECT_EQ(W<QGroupBox>("rzgrpbxPara")->title(), QStringLiteral("HTTPD Client Mode parameters"));
    QTest::mouseClick(W<QRadioButton>("rbNetTran"), Qt::LeftButton);

    EXPECT_TRUE(W<QCheckBox>("rzchckbxRegEn")->isChecked());
    EXPECT_TRUE(W<QCheckBox>("rzchckbxRegEn")->isEnabled());
    EXPECT_TRUE(W<QCheckBox>("rzchckbxHeartEn")->isChecked());
    EXPECT_TRUE(W<QCheckBox>("rzchckbxHeartEn")->isEnabled());
    EXPECT_EQ(W<QComboBox>("cbbHeartSnd")->currentText(), QStringLiteral("Send data to network"));
    for (const char *name : kConnKinds) {
        EXPECT_EQ(W<QComboBox>(name)->currentIndex(), 1) << name;
        EXPECT_TRUE(W<QComboBox>(name)->isEnabled()) << name;
    }
    for (const char *name : {"lblRegTp", "cbbRegTp", "lblRegDt", "cbbRegDt", "cbbRegSnd",
                             "edtHeartDt", "rzchckbxHeartDtHex", "cbbHeartSnd"})
        EXPECT_TRUE(W(name)->isVisible()) << name;
    EXPECT_FALSE(Shown("edtUdcId"));
    EXPECT_TRUE(W<QLineEdit>("cbbRegDt")->toolTip().isEmpty());
}

TEST_F(RulesTest, EveryWorkModeSelectionResetsTheHeartbeatDestination)
{
    TQuietLog log;
    TReplyApplier applier(P(), log);
    auto *heartSnd = W<QComboBox>("cbbHeartSnd");

    heartSnd->setCurrentIndex(1);
    QTest::mouseClick(W<QRadioButton>("rbHttpd"), Qt::LeftButton);
    EXPECT_EQ(heartSnd->currentIndex(), 0);

    heartSnd->setCurrentIndex(1);
    applier.ApplyValue("WKMOD", "HTTPD"); // the mode already shown
    EXPECT_EQ(heartSnd->currentIndex(), 0);

    heartSnd->setCurrentIndex(1);
    QTest::mouseClick(W<QRadioButton>("rbHttpd"), Qt::LeftButton); // already checked: nothing
    EXPECT_EQ(heartSnd->currentIndex(), 1);
}

TEST_F(RulesTest, UdpForcesLongConnectionAndHidesIt)
{
    auto *protocol = W<QComboBox>("cbbProtocolA");
    auto *kind = W<QComboBox>("cbbASL");
    kind->setCurrentIndex(0);
    protocol->setFocus();

    QTest::keyClick(protocol, Qt::Key_Down); // the user picks UDP
    ASSERT_EQ(protocol->currentText(), QStringLiteral("UDP"));
    EXPECT_EQ(kind->currentIndex(), 1);
    EXPECT_FALSE(Shown("cbbASL"));

    QTest::keyClick(protocol, Qt::Key_Up);
    ASSERT_EQ(protocol->currentText(), QStringLiteral("TCP"));
    EXPECT_TRUE(Shown("cbbASL"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("Long Connection"));
}

TEST_F(RulesTest, ProtocolSetByCodeWaitsForTheExplicitReaction)
{
    P().SetComboIndex(PanelCombo::ProtocolB, 1);
    EXPECT_TRUE(Shown("cbbBSL"));
    P().ProtocolChange(1);
    EXPECT_FALSE(Shown("cbbBSL"));
    P().SetComboIndex(PanelCombo::ProtocolB, -1);
    P().ProtocolChange(1); // no selection: nothing changes
    EXPECT_FALSE(Shown("cbbBSL"));
}

TEST_F(RulesTest, EnableBoxesShowTheirGroupsAndKeepTheValues)
{
    auto *sktB = W<QCheckBox>("rzchckbxSktB");
    sktB->setChecked(true);
    ASSERT_TRUE(W("rzgrpbxSktB")->isVisible());
    QTest::keyClicks(W<QLineEdit>("edtAddrB"), QStringLiteral("10.0.0.9"));
    QTest::keyClicks(W<QLineEdit>("edtPortB"), QStringLiteral("502"));

    QTest::mouseClick(sktB, Qt::LeftButton);
    EXPECT_FALSE(sktB->isChecked());
    EXPECT_FALSE(Shown("rzgrpbxSktB"));
    EXPECT_EQ(P().EditText(PanelEdit::AddrB), "10.0.0.9");
    EXPECT_EQ(P().EditText(PanelEdit::PortB), "502");

    const struct
    {
        PanelCheck box;
        const char *group;
    } rows[] = {{PanelCheck::SktA, "rzgrpbxSktA"}, {PanelCheck::HeartEn, "rzgrpbxHeart"},
                {PanelCheck::RegEn, "rzgrpbxReg"}, {PanelCheck::More, "rzgrpbxMore"},
                {PanelCheck::SktC, "rzgrpbxSktC"}, {PanelCheck::SktD, "rzgrpbxSktD"}};
    for (const auto &row : rows) {
        P().SetChecked(row.box, true);
        EXPECT_TRUE(Shown(row.group)) << row.group;
        P().SetChecked(row.box, false);
        EXPECT_FALSE(Shown(row.group)) << row.group;
    }
    // Rows C and D follow their boxes but never come into view.
    P().SetChecked(PanelCheck::SktC, true);
    EXPECT_FALSE(W("rzgrpbxSktC")->isVisible());
}

TEST_F(RulesTest, NeverShownControlsStayHiddenThroughEveryMode)
{
    for (auto mode :
         {PanelRadio::Udc, PanelRadio::Httpd, PanelRadio::SmsTran, PanelRadio::NetTran}) {
        P().SetRadioChecked(mode, true);
        for (const char *name : {"rbSmsTran", "rzchckbxSOCKIND", "rzchckbxRFC", "cbbFlow",
                                 "lblFlow", "rzchckbxSktC", "rzchckbxSktD", "cbbProtocolC"})
            EXPECT_FALSE(W(name)->isVisible()) << name;
    }
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Net_en"));
}

TEST_F(RulesTest, SmsIsReachedOnlyFromCodeAndShowsItsPage)
{
    P().SetRadioChecked(PanelRadio::SmsTran, true);
    EXPECT_EQ(W<QStackedWidget>("rzpgcntrlPara")->currentIndex(), 2);
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Sms_en"));
    EXPECT_EQ(W<QGroupBox>("rzgrpbxPara")->title(), QStringLiteral("SMS Mode parameters"));
    EXPECT_FALSE(P().RadioChecked(PanelRadio::NetTran));

    P().SetRadioChecked(PanelRadio::SmsTran, false);
    EXPECT_EQ(WorkModeIndex(P()), 4);
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Sms_en")) << "clearing runs nothing";
}

TEST_F(RulesTest, RegistrationTypeSelectsItsEntry)
{
    auto *type = W<QComboBox>("cbbRegTp");
    auto *data = W<QLineEdit>("cbbRegDt");
    P().SetComboItem(PanelCombo::RegDt, 0, "89860012345678901234");
    P().SetComboItem(PanelCombo::RegDt, 3, "stored");

    type->setFocus();
    QTest::keyClick(type, Qt::Key_Home); // ICCID
    ASSERT_EQ(type->currentIndex(), 0);
    EXPECT_EQ(data->text(), QStringLiteral("89860012345678901234"));
    EXPECT_TRUE(data->isReadOnly());
    QTest::keyClicks(data, QStringLiteral("99"));
    EXPECT_EQ(data->text(), QStringLiteral("89860012345678901234"));
    EXPECT_EQ(W<QLabel>("lblRegDt")->text(), QStringLiteral("ICCID Code"));

    QTest::keyClick(type, Qt::Key_End); // user data
    EXPECT_EQ(data->text(), QStringLiteral("stored"));
    EXPECT_FALSE(data->isReadOnly());
    EXPECT_TRUE(W("rzchckbxRegDtHex")->isVisible());
    EXPECT_FALSE(Shown("edtCloudPa"));
    data->selectAll();
    QTest::keyClicks(data, QStringLiteral("typed"));
    EXPECT_EQ(P().ComboText(PanelCombo::RegDt), "typed");
    EXPECT_EQ(P().ComboItem(PanelCombo::RegDt, 3), "stored") << "typing keeps the entry";

    QTest::keyClick(type, Qt::Key_Home);
    QTest::keyClick(type, Qt::Key_End);
    EXPECT_EQ(data->text(), QStringLiteral("stored")) << "typed text is dropped";
}

TEST_F(RulesTest, CloudTypeShowsTheCodeBoxOnlyInNetMode)
{
    W<QComboBox>("cbbRegTp")->setCurrentIndex(2);
    P().RegTpChange();
    EXPECT_TRUE(W("edtCloudPa")->isVisible());
    EXPECT_FALSE(Shown("rzchckbxRegDtHex"));
    EXPECT_EQ(W<QLabel>("lblRegDt")->text(), QStringLiteral("Device id & code"));
    EXPECT_EQ(W("cbbRegDt")->toolTip(), QStringLiteral("Device ID: Length is 20"));
    EXPECT_TRUE(W("edtCloudPa")->toolTip().startsWith(QStringLiteral("Communication Code")));

    QTest::mouseClick(W<QRadioButton>("rbHttpd"), Qt::LeftButton);
    EXPECT_FALSE(Shown("edtCloudPa"));
    EXPECT_FALSE(Shown("rzchckbxRegDtHex"));
    P().RegTpChange();
    EXPECT_FALSE(Shown("edtCloudPa"));
}

TEST_F(RulesTest, CloudCodeTakesAtMostEightCharacters)
{
    auto *code = W<QLineEdit>("edtCloudPa");
    QTest::keyClicks(code, QStringLiteral("123456789"));
    EXPECT_EQ(code->text(), QStringLiteral("12345678"));
    code->clear();
    QTest::keyClicks(code, QStringLiteral("00042"));
    EXPECT_EQ(code->text(), QStringLiteral("00042"));

    // Only typing is limited: a longer code from a reply or the file stays whole, and can be
    // shortened or overtyped by hand, but not lengthened.
    P().SetEditText(PanelEdit::CloudPa, "1234567890");
    EXPECT_EQ(P().EditText(PanelEdit::CloudPa), "1234567890");
    code->end(false);
    QTest::keyClicks(code, QStringLiteral("1"));
    EXPECT_EQ(code->text(), QStringLiteral("1234567890"));
    QTest::keyClick(code, Qt::Key_Backspace);
    EXPECT_EQ(code->text(), QStringLiteral("123456789"));
    code->setSelection(0, 1);
    QTest::keyClicks(code, QStringLiteral("X"));
    EXPECT_EQ(code->text(), QStringLiteral("X23456789"));
}

TEST_F(RulesTest, HeartbeatHexBoxConvertsBothWays)
{
    auto *data = W<QLineEdit>("edtHeartDt");
    auto *hex = W<QCheckBox>("rzchckbxHeartDtHex");
    const struct
    {
        const char *plain;
        const char *hexForm;
    } rows[] = {{"abc", "616263"}, {"", ""}, {"中A", "D6D041"}, {"a b", "612062"}};
    for (const auto &row : rows) {
        hex->setChecked(false);
        data->setText(QString::fromUtf8(row.plain));
        QTest::mouseClick(hex, Qt::LeftButton);
        EXPECT_EQ(data->text(), QString::fromUtf8(row.hexForm)) << row.plain;
        QTest::mouseClick(hex, Qt::LeftButton);
        EXPECT_EQ(data->text(), QString::fromUtf8(row.plain)) << row.plain;
    }
    const struct
    {
        const char *hexText;
        const char *result;
    } back[] = {{"6162 6", "6162 6"}, {"61626", "ab"}, {"zz", "zz"}, {"中文", "中文"}};
    for (const auto &row : back) {
        hex->setChecked(true);
        data->setText(QString::fromUtf8(row.hexText));
        hex->setChecked(false);
        EXPECT_EQ(data->text(), QString::fromUtf8(row.result)) << row.hexText;
    }
}

TEST_F(RulesTest, RegistrationHexBoxUsesTheConvertedSlot)
{
    auto *hex = W<QCheckBox>("rzchckbxRegDtHex");
    hex->setChecked(false);
    P().SetComboItem(PanelCombo::RegDt, 3, "abc");
    P().RegTpChange();
    ASSERT_EQ(P().ComboText(PanelCombo::RegDt), "abc");

    QTest::mouseClick(hex, Qt::LeftButton);
    EXPECT_EQ(P().ComboText(PanelCombo::RegDt), "616263");
    EXPECT_EQ(P().ComboIndex(PanelCombo::RegDt), 4);
    EXPECT_EQ(P().ComboItem(PanelCombo::RegDt, 3), "abc");

    P().RegTpChange(); // user data chosen again
    EXPECT_EQ(P().ComboText(PanelCombo::RegDt), "abc");
    EXPECT_TRUE(hex->isChecked());
}

TEST_F(RulesTest, ProgrammaticChecksRunTheirReactionsNested)
{
    P().SetChecked(PanelCheck::RegEn, false);
    P().SetChecked(PanelCheck::HeartEn, false);
    P().SetRadioChecked(PanelRadio::Udc, true);
    EXPECT_TRUE(Shown("rzgrpbxReg")) << "ticked inside the UDC rules, shown at once";
    EXPECT_TRUE(Shown("rzgrpbxHeart"));
    EXPECT_FALSE(P().RadioChecked(PanelRadio::NetTran));
}

TEST_F(RulesTest, TextsFollowTheLanguageAndKeepSelections)
{
    W<QComboBox>("cbbASL")->setCurrentIndex(1);
    W<QComboBox>("cbbRegSnd")->setCurrentIndex(1);
    EXPECT_EQ(W<QCheckBox>("rzchckbxSktA")->text(), QStringLiteral("Enable Socket A"));
    EXPECT_EQ(W("cbbBaud")->toolTip(), W("imgCKZD")->toolTip());
    EXPECT_FALSE(W("imgCKZD")->toolTip().isEmpty());

    LangList()->IsChinese = true;
    P().ApplyTexts();
    EXPECT_EQ(W<QCheckBox>("rzchckbxSktD")->text(), QStringLiteral("连接服务器D"));
    EXPECT_EQ(W<QComboBox>("cbbASL")->currentIndex(), 1);
    EXPECT_EQ(W<QComboBox>("cbbASL")->currentText(), QStringLiteral("长连接"));
    EXPECT_EQ(W<QComboBox>("cbbRegSnd")->currentIndex(), 1);
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Net_cn"));
    EXPECT_EQ(W<QGroupBox>("rzgrpbxPara")->title(), QStringLiteral(" 网络透传模式相关参数"));
}

TEST_F(RulesTest, IdentityItemIsSetBeforeTheTypeReaction)
{
    W<QComboBox>("cbbRegTp")->setCurrentIndex(1);
    P().ApplyTexts([this] { P().SetComboItem(PanelCombo::RegTp, 1, "MEID Code"); });
    EXPECT_EQ(W<QLabel>("lblRegDt")->text(), QStringLiteral("MEID Code"));
    EXPECT_EQ(W<QComboBox>("cbbRegTp")->currentIndex(), 1);
}

TEST_F(RulesTest, UdcDiagramKeepsItsLanguageUntilTheNextSelection)
{
    P().SetRadioChecked(PanelRadio::Udc, true);
    LangList()->IsChinese = true;
    P().ApplyTexts();
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Net_en"));
    EXPECT_EQ(W<QGroupBox>("rzgrpbxPara")->title(), QStringLiteral(" UDC模式相关参数"));
    P().SetRadioChecked(PanelRadio::Httpd, true);
    EXPECT_EQ(P().WorkModePicture(), QStringLiteral("Http_cn"));
}

struct DiagramCase
{
    PanelRadio mode;
    bool chinese;
    const char *picture;
    int page;
};

class DiagramTest : public ParamPanelTest, public ::testing::WithParamInterface<DiagramCase>
{
};

TEST_P(DiagramTest, ModeAndLanguageChooseThePicture)
{
    const DiagramCase &c = GetParam();
    LangList()->IsChinese = c.chinese;
    P().SetRadioChecked(PanelRadio::NetTran, false);
    P().SetRadioChecked(c.mode, true);
    EXPECT_EQ(P().WorkModePicture(), QString::fromLatin1(c.picture));
    EXPECT_EQ(W<QStackedWidget>("rzpgcntrlPara")->currentIndex(), c.page);
}

INSTANTIATE_TEST_SUITE_P(AllModes, DiagramTest,
                         ::testing::Values(DiagramCase{PanelRadio::NetTran, false, "Net_en", 0},
                                           DiagramCase{PanelRadio::NetTran, true, "Net_cn", 0},
                                           DiagramCase{PanelRadio::Udc, false, "Net_en", 0},
                                           DiagramCase{PanelRadio::Udc, true, "Net_cn", 0},
                                           DiagramCase{PanelRadio::Httpd, false, "Http_en", 1},
                                           DiagramCase{PanelRadio::Httpd, true, "Http_cn", 1},
                                           DiagramCase{PanelRadio::SmsTran, false, "Sms_en", 2},
                                           DiagramCase{PanelRadio::SmsTran, true, "Sms_cn", 2}));

} // namespace
} // namespace m845::test
