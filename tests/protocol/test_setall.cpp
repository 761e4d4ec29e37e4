#include "protocol/setall.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "protocol/valueforms.h"

namespace m845::test {
namespace {

std::vector<std::string> QueueLines()
{
    std::vector<std::string> lines;
    for (int i = 0; i < QueueCount(); ++i) {
        std::string entry = QueueEntry(i);
        EXPECT_TRUE(entry.starts_with("AT+") && entry.ends_with("\r\n")) << entry;
        lines.push_back(entry.substr(3, entry.size() - 5));
    }
    return lines;
}

class SetAllTest : public ::testing::Test
{
protected:
    SetAllTest()
    {
        QueueAdd("left over");
        p.SetComboIndex(PanelCombo::Baud, 10);
        p.SetComboIndex(PanelCombo::D, 1);
        p.SetComboIndex(PanelCombo::S, 0);
        p.SetComboIndex(PanelCombo::P, 0);
        p.SetComboIndex(PanelCombo::Flow, 1);
        p.SetEditText(PanelEdit::UARTFT, "50");
        p.SetEditText(PanelEdit::UARTFL, "1024");
        p.SetEditText(PanelEdit::SockATo, "30");
        p.SetEditText(PanelEdit::SockBTo, "31");
        p.SetEditText(PanelEdit::SockRsTim, "60");
        p.SetEditText(PanelEdit::CmdPw, "pw");
        p.SetEditText(PanelEdit::StMsg, "hi");
        p.SetEditText(PanelEdit::Apn, "CMNET,,,0");
        p.SetEditText(PanelEdit::RsTim, "1800");
    }

    std::vector<std::string> Build(TCmd identity = TCmd::IMEI)
    {
        BuildSetAll(p, identity);
        EXPECT_EQ(QueueCursor, 0);
        return QueueLines();
    }

    TFakePanel p;
    const std::vector<std::string> kSerial = {"UART=115200,8,1,NONE", "UARTFT=50", "UARTFL=1024"};
    const std::vector<std::string> kAdvanced
        = {"E=ON", "CMDPW=pw", "STMSG=hi", "APN=CMNET,,,0", "RSTIM=1800"};
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(SetAllTest, NetModeExampleGivesThirteenLines)
{
    p.SetRadioChecked(PanelRadio::NetTran, true);
    p.SetChecked(PanelCheck::SktA, true);
    p.SetComboIndex(PanelCombo::ProtocolA, 0);
    p.SetEditText(PanelEdit::AddrA, "host");
    p.SetEditText(PanelEdit::PortA, "80");
    p.SetComboIndex(PanelCombo::ASL, 1);
    p.SetEditText(PanelEdit::AddrB, "never sent");
    BuildSetAll(p, TCmd::IMEI);
    const std::vector<std::string> expected = {
        "AT+WKMOD=NET\r\n",    "AT+SOCKAEN=ON\r\n",           "AT+SOCKA=TCP,host,80\r\n",
        "AT+SOCKASL=LONG\r\n", "AT+SOCKATO=30\r\n",           "AT+SOCKBEN=OFF\r\n",
        "AT+SOCKRSTIM=60\r\n", "AT+HEARTEN=OFF\r\n",          "AT+REGEN=OFF\r\n",
        "AT+SOCKIND=OFF\r\n",  "AT+UART=115200,8,1,NONE\r\n", "AT+UARTFT=50\r\n",
        "AT+UARTFL=1024\r\n",
    };
    ASSERT_EQ(QueueCount(), 13);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(QueueEntry(i), expected[static_cast<std::size_t>(i)]) << i;

    p.SetChecked(PanelCheck::More, true);
    p.SetChecked(PanelCheck::E, true);
    const auto lines = Build();
    ASSERT_EQ(lines.size(), 18U) << "rebuilding clears first";
    EXPECT_EQ(std::vector(lines.end() - 5, lines.end()), kAdvanced);
}

TEST_F(SetAllTest, NetModeWithEverythingEnabled)
{
    p.SetRadioChecked(PanelRadio::NetTran, true);
    p.SetChecked(PanelCheck::SktA, true);
    p.SetChecked(PanelCheck::SktB, true);
    p.SetComboIndex(PanelCombo::ProtocolB, 1);
    p.SetEditText(PanelEdit::PortA, "80");
    p.SetEditText(PanelEdit::AddrB, "b.example");
    p.SetEditText(PanelEdit::PortB, "81");
    p.SetComboIndex(PanelCombo::BSL, 0);
    p.SetChecked(PanelCheck::HeartEn, true);
    p.SetEditText(PanelEdit::HeartTm, "30");
    p.SetEditText(PanelEdit::HeartDt, "ab");
    p.SetComboIndex(PanelCombo::HeartSnd, 1);
    p.SetChecked(PanelCheck::RegEn, true);
    p.SetComboIndex(PanelCombo::RegSnd, 1);
    p.SetComboIndex(PanelCombo::RegTp, 3);
    p.SetComboItem(PanelCombo::RegDt, 3, "3132");
    p.SetChecked(PanelCheck::RegDtHex, true);
    p.SetChecked(PanelCheck::SOCKIND, true);
    const std::vector<std::string> net = {
        "WKMOD=NET",
        "SOCKAEN=ON",
        "SOCKA=TCP,,80",
        "SOCKASL=SHORT",
        "SOCKATO=30",
        "SOCKBEN=ON",
        "SOCKB=UDP,b.example,81",
        "SOCKBSL=SHORT",
        "SOCKBTO=31",
        "SOCKRSTIM=60",
        "HEARTEN=ON",
        "HEARTTM=30",
        "HEARTDT=6162",
        "HEARTSND=COM",
        "REGEN=ON",
        "REGSND=DATA",
        "REGTP=USER",
        "REGDT=3132",
        "SOCKIND=ON",
    };
    EXPECT_EQ(Build(), Concat(net, kSerial));

    p.SetChecked(PanelCheck::HeartDtHex, true);
    p.SetEditText(PanelEdit::HeartDt, "6162");
    p.SetChecked(PanelCheck::RegDtHex, false);
    p.TypeRegDt("12");
    const auto lines = Build();
    EXPECT_EQ(lines[12], "HEARTDT=6162");
    EXPECT_EQ(lines[17], "REGDT=3132") << "the displayed text is sent, as hexadecimal";
}

struct TRegTypeCase
{
    int item;
    TCmd identity;
    std::vector<std::string> lines;
};

class RegistrationTypeTest : public SetAllTest, public ::testing::WithParamInterface<TRegTypeCase>
{
};

TEST_P(RegistrationTypeTest, WritesTheTypeAndItsData)
{
    p.SetRadioChecked(PanelRadio::NetTran, true);
    p.SetChecked(PanelCheck::RegEn, true);
    p.SetComboItem(PanelCombo::RegDt, 2, "00000000000000000001");
    p.SetEditText(PanelEdit::CloudPa, "00001234");
    p.SetComboItem(PanelCombo::RegDt, 3, "ab");
    p.SetComboIndex(PanelCombo::RegTp, GetParam().item);
    p.SetComboIndex(PanelCombo::RegDt, GetParam().item);
    const auto lines = Build(GetParam().identity);
    auto first = lines.begin() + 5;
    ASSERT_EQ(*first, "REGEN=ON");
    const std::vector<std::string> got(first + 2, lines.end() - 4);
    EXPECT_EQ(got, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistrationTypeTest,
    ::testing::Values(TRegTypeCase{0, TCmd::IMEI, {"REGTP=ICCID"}},
                      TRegTypeCase{1, TCmd::IMEI, {"REGTP=IMEI"}},
                      TRegTypeCase{1, TCmd::MEID, {"REGTP=MEID"}},
                      TRegTypeCase{
                          2, TCmd::IMEI, {"REGTP=CLOUD", "CLOUD=00000000000000000001,00001234"}},
                      TRegTypeCase{3, TCmd::IMEI, {"REGTP=USER", "REGDT=6162"}}));

TEST_F(SetAllTest, UdcModeWritesTheIdentifierInsteadOfTheType)
{
    p.SetRadioChecked(PanelRadio::Udc, true);
    p.SetChecked(PanelCheck::RegEn, true);
    p.SetComboIndex(PanelCombo::RegTp, 2);
    p.SetEditText(PanelEdit::UdcId, "00000000001");
    const std::vector<std::string> udc = {
        "WKMOD=UDC", "SOCKAEN=OFF", "SOCKBEN=OFF",    "SOCKRSTIM=60", "HEARTEN=OFF",
        "REGEN=ON",  "REGSND=LINK", "ID=00000000001", "SOCKIND=OFF",
    };
    EXPECT_EQ(Build(), Concat(udc, kSerial));
}

TEST_F(SetAllTest, HttpdMode)
{
    p.SetRadioChecked(PanelRadio::Httpd, true);
    p.SetComboIndex(PanelCombo::HTPTP, 0);
    p.SetEditText(PanelEdit::HTPURL, "/1.php[3F]");
    p.SetEditText(PanelEdit::HTPSVIP, "10.0.0.1");
    p.SetEditText(PanelEdit::HTPSVPort, "8080");
    p.SetEditText(PanelEdit::HtpTo, "10");
    p.SetEditText(PanelEdit::HTPHD, "Connection: close[0D][0A]");
    p.SetChecked(PanelCheck::HtpFlt, true);
    p.SetChecked(PanelCheck::SktA, true);
    const std::vector<std::string> http = {
        "WKMOD=HTTPD",         "HTPTP=GET", "HTPURL=/1.php[3F]",
        "HTPSV=10.0.0.1,8080", "HTPTO=10",  "HTPHD=Connection: close[0D][0A]",
        "HTPFLT=ON",
    };
    EXPECT_EQ(Build(), Concat(http, kSerial));
    p.SetChecked(PanelCheck::More, true);
    EXPECT_EQ(Build(), Concat(Concat(http, kSerial),
                              {"E=OFF", "CMDPW=pw", "STMSG=hi", "APN=CMNET,,,0", "RSTIM=1800"}));
}

TEST_F(SetAllTest, SmsMode)
{
    p.SetRadioChecked(PanelRadio::SmsTran, true);
    p.SetEditText(PanelEdit::DSTNUM, "13800000000");
    p.SetChecked(PanelCheck::SMSPH, true);
    const std::vector<std::string> sms
        = {"WKMOD=SMS", "DSTNUM=13800000000", "SMSFLT=OFF", "SMSPH=ON"};
    EXPECT_EQ(Build(), Concat(sms, kSerial));
}

TEST_F(SetAllTest, NoModeWritesOnlyTheSerialSettings)
{
    EXPECT_EQ(WorkModeIndex(p), 4);
    EXPECT_EQ(Build(), kSerial);
    p.SetChecked(PanelCheck::More, true);
    p.SetChecked(PanelCheck::E, true);
    EXPECT_EQ(Build(), Concat(kSerial, kAdvanced));
}

TEST_F(SetAllTest, TextsGoOutAsGbkAndEmptyValuesStayEmpty)
{
    p.SetChecked(PanelCheck::More, true);
    p.SetEditText(PanelEdit::StMsg, "\xE6\xAC\xA2\xE8\xBF\x8E");
    p.SetEditText(PanelEdit::Apn, "");
    p.SetComboIndex(PanelCombo::Baud, -1);
    const auto lines = Build();
    EXPECT_EQ(lines[0], "UART=,8,1,NONE");
    EXPECT_EQ(lines[5], "STMSG=\xBB\xB6\xD3\xAD");
    EXPECT_EQ(lines[6], "APN=");

    p.SetRadioChecked(PanelRadio::NetTran, true);
    p.SetChecked(PanelCheck::HeartEn, true);
    p.SetChecked(PanelCheck::HeartDtHex, false);
    p.SetEditText(PanelEdit::HeartDt, "\xE6\xAC\xA2");
    EXPECT_EQ(Build()[6], "HEARTDT=BBB6");
}

TEST(SetAllValueForms, OnOffAndUartText)
{
    TFakePanel p;
    EXPECT_EQ(OnOffFromCheck(p, PanelCheck::SMSFLT), "OFF");
    p.SetChecked(PanelCheck::SMSFLT, true);
    EXPECT_EQ(OnOffFromCheck(p, PanelCheck::SMSFLT), "ON");
    p.SetComboIndex(PanelCombo::Baud, 3);
    p.SetComboIndex(PanelCombo::P, 2);
    EXPECT_EQ(UartText(p), "9600,8,1,EVEN") << "the flow field is not part of it";
}

} // namespace
} // namespace m845::test
