#pragma once

// Cases of the configuration file's panel access that every IPanel must pass: run once
// against the plain fake and once against the real window panel. Cases rely on no reaction
// beyond what the fake has (where a reaction selects the registration data entry of the
// type, the case selects it itself).
//
//     template <> struct m845::test::ConfigPanelFactory<Tag> { static std::unique_ptr<IPanel>
//     Make(); }; INSTANTIATE_TYPED_TEST_SUITE_P(Name, ConfigContract, ::testing::Types<Tag>);

#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "common/fake_tool.h"
#include "common/quiet_log.h"
#include "config/config.h"
#include "config/inifile.h"
#include "core/panel.h"
#include "protocol/reply.h"

namespace m845::test {

template <class T> struct ConfigPanelFactory
{
    static std::unique_ptr<IPanel> Make();
};

// A first run's close: every key in the save order, written out here apart from the code.
inline constexpr std::string_view kFirstRunFile = R"([System]
Language=0
ReadTimeHelp=1
SendShortCutTag=2
HeartDtHex=ON
RegDtHex=ON
ShowMore=OFF
HdVerSign=HdCedar
[OpenUart]
ComName=/dev/ttyS0
BaudRate=115200
Parity=NONE
Data=8
Stop=1
Flow=NONE
[WKMOD]
WKMOD=NET
[Socket]
SOCKAEN=ON
SOCKA=TCP,,
SOCKASL=LONG
SOCKATO=5
SOCKBEN=OFF
SOCKB=TCP,,
SOCKBSL=LONG
SOCKBTO=5
SOCKCEN=OFF
SOCKC=TCP,,
SOCKCSL=LONG
SOCKCTO=5
SOCKIND=OFF
SOCKDEN=OFF
SOCKD=TCP,,
SOCKDSL=LONG
SOCKDTO=5
SOCKRSTIM=60
[Heart]
HEARTEN=ON
HEARTDT=6865617274626561742E6578616D706C652E636F6D
HEARTSND=NET
HEARTTM=30
[Reg]
REGEN=OFF
REGTP=USER
REGDT=6465766963652E6578616D706C652E636F6D
REGSND=LINK
[HTTPD]
HTPTP=POST
HTPURL=/1.php[3F]
HTPSV=test.example.com,80
HTPHD=Connection: close[0D][0A]
HTPFLT=ON
HTPTO=10
[SMS]
DSTNUM=10086
SMSFLT=ON
SMSPH=OFF
[Base]
UART=115200,8,1,NONE,NFC
RFCEN=OFF
UARTFT=50
UARTFL=1024
E=ON
CMDPW=vorbe
STMSG=[ZLM-M845]
APN=CMNET,,,0
RSTIM=1800
delayTime=150
[Session]
Record=0
RecordFile=
[UDC]
ID=
)";

template <class T> class ConfigContract : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_panel = ConfigPanelFactory<T>::Make();
        m_device = std::make_unique<TReplyApplier>(*m_panel, m_log);
    }

    IPanel &P() { return *m_panel; }
    void Load(std::string_view text) { LoadConfig(TIniFile(text), *m_panel, *m_device, m_tool); }
    [[nodiscard]] std::string Save(std::string_view onto = {})
    {
        TIniFile ini(onto);
        SaveConfig(ini, *m_panel, *m_device, m_tool);
        return ini.Text();
    }

    TFakeTool m_tool;
    TQuietLog m_log;
    std::unique_ptr<IPanel> m_panel;
    std::unique_ptr<TReplyApplier> m_device;
};

TYPED_TEST_SUITE_P(ConfigContract);

// Every default reaches its control and comes back: the close writes the first-run file.
TYPED_TEST_P(ConfigContract, FirstRunCloseWritesEveryKeyInSaveOrder)
{
    this->Load("");
    EXPECT_EQ(this->Save(), kFirstRunFile);
}

TYPED_TEST_P(ConfigContract, StoredValuesComeBackUnchanged)
{
    // Stored values unlike the defaults, of every form.
    std::string file(kFirstRunFile);
    const struct
    {
        std::string_view from, to;
    } edits[] = {
        {"HeartDtHex=ON", "HeartDtHex=OFF"},
        {"ShowMore=OFF", "ShowMore=ON"},
        {"WKMOD=NET", "WKMOD=HTTPD"},
        {"SOCKA=TCP,,", "SOCKA=TCP,10.1.2.3,502"},
        {"SOCKASL=LONG", "SOCKASL=SHORT"},
        {"SOCKBEN=OFF", "SOCKBEN=ON"},
        {"HEARTDT=6865617274626561742E6578616D706C652E636F6D", "HEARTDT=ping me"},
        {"HEARTSND=NET", "HEARTSND=COM"},
        {"REGEN=OFF", "REGEN=ON"},
        {"REGDT=6465766963652E6578616D706C652E636F6D", "REGDT=414243"},
        {"REGSND=LINK", "REGSND=DATA"},
        {"HTPTP=POST", "HTPTP=GET"},
        {"HTPSV=test.example.com,80", "HTPSV=10.0.0.1,8080"},
        {"UART=115200,8,1,NONE,NFC", "UART=9600,7,2,EVEN,NFC"},
        {"APN=CMNET,,,0", "APN=CMIOT,user,pw,1"},
        {"[UDC]\nID=", "[UDC]\nID=udc-0042"},
    };
    for (const auto &e : edits) {
        const auto at = file.find(e.from);
        ASSERT_NE(at, std::string::npos) << e.from;
        file.replace(at, e.from.size(), e.to);
    }
    this->Load(file);
    EXPECT_EQ(this->Save(), file);
}

TYPED_TEST_P(ConfigContract, HexBoxesComeFirstAndDataStaysAsStored)
{
    this->Load("[System]\nHeartDtHex=OFF\nRegDtHex=OFF\n[Heart]\nHEARTDT=abc\n[Reg]\nREGDT=xyz\n");
    EXPECT_FALSE(this->P().Checked(PanelCheck::HeartDtHex));
    EXPECT_EQ(this->P().EditText(PanelEdit::HeartDt), "abc");
    EXPECT_EQ(this->P().ComboText(PanelCombo::RegDt), "xyz");
    // With the boxes ticked the stored hex goes in as it is, not converted once more.
    this->Load("[Heart]\nHEARTDT=616263\n[Reg]\nREGDT=78797A\n");
    EXPECT_TRUE(this->P().Checked(PanelCheck::HeartDtHex));
    EXPECT_EQ(this->P().EditText(PanelEdit::HeartDt), "616263");
    EXPECT_EQ(this->P().ComboText(PanelCombo::RegDt), "78797A");
}

TYPED_TEST_P(ConfigContract, UnusableValuesLeaveTheirControls)
{
    this->Load("");
    IPanel &p = this->P();
    // Four fields (a blank splits the address), three for a two-field key, one word no list has.
    this->Load("[Socket]\nSOCKA=TCP,my host,80\n[HTTPD]\nHTPSV=a,b,c\n[Base]\nUART=9600\n");
    EXPECT_EQ(p.EditText(PanelEdit::AddrA), "");
    EXPECT_EQ(p.EditText(PanelEdit::PortA), "");
    EXPECT_EQ(p.EditText(PanelEdit::HTPSVIP), "test.example.com");
    EXPECT_EQ(p.ComboText(PanelCombo::Baud), "115200");
    // Four UART fields set four lists and leave the flow; the save puts "NFC" back.
    p.SetComboIndex(PanelCombo::Flow, 1);
    this->Load("[Base]\nUART=9600,7,2,ODD\n[Reg]\nREGSND=LINK&DATA\n");
    EXPECT_EQ(p.ComboText(PanelCombo::Baud), "9600");
    EXPECT_EQ(p.ComboText(PanelCombo::P), "ODD");
    EXPECT_EQ(p.ComboIndex(PanelCombo::Flow), 1);
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegSnd), 0);
    EXPECT_NE(this->Save().find("UART=9600,7,2,ODD,NFC\n"), std::string::npos);
}

TYPED_TEST_P(ConfigContract, SavingOneRegistrationTypeKeepsTheOtherDataKeys)
{
    const std::string before = "[Reg]\nREGTP=ICCID\nICCID=89860012345678901234\nMEID=A1000012"
                               "\nCLOUD=dev,0001\nREGDT=414243\nFUTURE=kept\n[Later]\nX=1\n";
    this->Load(before);
    EXPECT_EQ(this->P().ComboIndex(PanelCombo::RegTp), 0);
    this->P().SetComboIndex(PanelCombo::RegDt, 0); // what the type reaction shows
    const std::string after = this->Save(before);
    for (std::string_view line :
         {"REGTP=ICCID\n", "ICCID=89860012345678901234\n", "MEID=A1000012\n", "CLOUD=dev,0001\n",
          "REGDT=414243\n", "FUTURE=kept\n", "[Later]\nX=1\n"})
        EXPECT_NE(after.find(line), std::string::npos) << line;
}

TYPED_TEST_P(ConfigContract, CloudIdentityRoundTrips)
{
    this->Load("[Reg]\nREGTP=CLOUD\nCLOUD=12345678901234567890,00001234\n");
    IPanel &p = this->P();
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), 2);
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 2), "12345678901234567890");
    EXPECT_EQ(p.EditText(PanelEdit::CloudPa), "00001234");
    p.SetComboIndex(PanelCombo::RegDt, 2);
    const std::string saved = this->Save();
    EXPECT_NE(saved.find("REGTP=CLOUD\nCLOUD=12345678901234567890,00001234\n"), std::string::npos);
}

TYPED_TEST_P(ConfigContract, StoredWorkModeIsSelectedAndSaved)
{
    for (std::string_view mode : {"SMS", "UDC", "HTTPD", "NET"}) {
        this->Load("[WKMOD]\nWKMOD=" + std::string(mode) + "\n");
        EXPECT_NE(this->Save().find("[WKMOD]\nWKMOD=" + std::string(mode) + "\n"),
                  std::string::npos)
            << mode;
    }
    this->Load("[WKMOD]\nWKMOD=net\n");
    EXPECT_EQ(WorkModeIndex(this->P()), 4) << "a word that matches nothing checks nothing";
    EXPECT_EQ(this->Save().find("WKMOD="), std::string::npos);
}

REGISTER_TYPED_TEST_SUITE_P(ConfigContract, FirstRunCloseWritesEveryKeyInSaveOrder,
                            StoredValuesComeBackUnchanged, HexBoxesComeFirstAndDataStaysAsStored,
                            UnusableValuesLeaveTheirControls,
                            SavingOneRegistrationTypeKeepsTheOtherDataKeys, CloudIdentityRoundTrips,
                            StoredWorkModeIsSelectedAndSaved);

} // namespace m845::test
