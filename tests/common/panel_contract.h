#pragma once

// Cases that every IPanel must pass when replies and stored values are applied to it: run once
// against the plain fake and once against the real window panel.
//
// Use, in one test file of the panel's test program:
//
//     struct TRealPanelTag {};
//     template <> struct m845::test::PanelFactory<TRealPanelTag> {
//         static std::unique_ptr<m845::IPanel> Make();   // a fresh panel per case
//     };
//     INSTANTIATE_TYPED_TEST_SUITE_P(RealPanel, PanelContract, ::testing::Types<TRealPanelTag>);
//
// The panel is expected to hold the window's item lists: cbbBaud with "9600" and "115200",
// cbbD "7"/"8", cbbS "1"/"2", cbbP "NONE"/"ODD"/"EVEN", cbbFlow "NFC"/"RS485", the protocol
// lists "TCP"/"UDP", cbbHTPTP "GET"/"POST", two items in each connection-kind list, in
// cbbRegSnd and cbbHeartSnd, four in cbbRegTp and five entries in cbbRegDt. Cases never rely
// on the panel's start state beyond that, and never on what a reaction does.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/panel.h"
#include "lang/langlist.h"
#include "protocol/reply.h"
#include "protocol/valueforms.h"

namespace m845::test {

template <class T> struct PanelFactory
{
    static std::unique_ptr<m845::IPanel> Make();
};

namespace contract_detail {

class TNullLog final : public m845::ILog
{
public:
    void LogRx(std::string_view) override {}
    void LogRxOther(std::string_view) override {}
    void LogTx(std::string_view) override {}
    void LogInfo(std::string_view) override {}
    void LogWarn(std::string_view text) override { warnings.emplace_back(text); }
    std::vector<std::string> warnings;
};

inline constexpr PanelCheck kAllChecks[] = {
    PanelCheck::E,        PanelCheck::RFC,     PanelCheck::SktA,       PanelCheck::SktB,
    PanelCheck::SktC,     PanelCheck::SktD,    PanelCheck::SOCKIND,    PanelCheck::RegEn,
    PanelCheck::RegDtHex, PanelCheck::HeartEn, PanelCheck::HeartDtHex, PanelCheck::HtpFlt,
    PanelCheck::SMSFLT,   PanelCheck::SMSPH,   PanelCheck::More,
};
inline constexpr PanelRadio kAllRadios[]
    = {PanelRadio::NetTran, PanelRadio::Httpd, PanelRadio::SmsTran, PanelRadio::Udc};
inline constexpr int kComboKinds = static_cast<int>(PanelCombo::RegDt) + 1;
inline constexpr int kEditKinds = static_cast<int>(PanelEdit::UdcId) + 1;

// Everything the interface can read, to prove that a value changed nothing.
struct TPanelSnapshot
{
    std::vector<bool> checks, radios;
    std::vector<int> comboIndex;
    std::vector<std::string> comboText, edits;
    std::vector<std::vector<std::string>> comboItems;

    static TPanelSnapshot Take(const IPanel &panel)
    {
        TPanelSnapshot s;
        for (PanelCheck c : kAllChecks)
            s.checks.push_back(panel.Checked(c));
        for (PanelRadio r : kAllRadios)
            s.radios.push_back(panel.RadioChecked(r));
        for (int i = 0; i < kComboKinds; ++i) {
            const auto box = static_cast<PanelCombo>(i);
            s.comboIndex.push_back(panel.ComboIndex(box));
            s.comboText.push_back(panel.ComboText(box));
            std::vector<std::string> items;
            for (int k = 0; k < panel.ComboCount(box); ++k)
                items.push_back(panel.ComboItem(box, k));
            s.comboItems.push_back(std::move(items));
        }
        for (int i = 0; i < kEditKinds; ++i)
            s.edits.push_back(panel.EditText(static_cast<PanelEdit>(i)));
        return s;
    }
    bool operator==(const TPanelSnapshot &) const = default;
};

} // namespace contract_detail

template <class T> class PanelContract : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Item 1 of the registration type takes a language text; start a list if none runs.
        if (LangList() == nullptr) {
            const auto dir = std::filesystem::path(::testing::TempDir()) / "m845_panel_contract";
            std::filesystem::create_directories(dir);
            InitLanguage((dir / std::string(kLangFileName)).string());
            m_ownsLanguage = true;
        }
        m_panel = PanelFactory<T>::Make();
        ASSERT_NE(m_panel, nullptr);
        m_applier = std::make_unique<TReplyApplier>(*m_panel, m_log);
    }
    void TearDown() override
    {
        m_applier.reset();
        m_panel.reset();
        if (m_ownsLanguage)
            ReleaseLanguage();
    }

    IPanel &P() { return *m_panel; }
    void Apply(std::string_view name, std::string_view value)
    {
        m_applier->ApplyValue(name, value);
    }
    [[nodiscard]] contract_detail::TPanelSnapshot Snap() const
    {
        return contract_detail::TPanelSnapshot::Take(*m_panel);
    }

    contract_detail::TNullLog m_log;
    std::unique_ptr<IPanel> m_panel;
    std::unique_ptr<TReplyApplier> m_applier;
    bool m_ownsLanguage = false;
};

TYPED_TEST_SUITE_P(PanelContract);

TYPED_TEST_P(PanelContract, OnOffSwitchesFollowTheValue)
{
    const struct
    {
        const char *name;
        PanelCheck box;
    } rows[] = {
        {"E", PanelCheck::E},
        {"RFCEN", PanelCheck::RFC},
        {"SOCKAEN", PanelCheck::SktA},
        {"SOCKBEN", PanelCheck::SktB},
        {"SOCKCEN", PanelCheck::SktC},
        {"SOCKDEN", PanelCheck::SktD},
        {"SOCKIND", PanelCheck::SOCKIND},
        {"REGEN", PanelCheck::RegEn},
        {"HEARTEN", PanelCheck::HeartEn},
        {"HTPFLT", PanelCheck::HtpFlt},
        {"SMSFLT", PanelCheck::SMSFLT},
        {"SMSPH", PanelCheck::SMSPH},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        this->Apply(row.name, "ON");
        EXPECT_TRUE(this->P().Checked(row.box));
        this->Apply(row.name, "ON");
        EXPECT_TRUE(this->P().Checked(row.box));
        this->Apply(row.name, "on");
        EXPECT_TRUE(this->P().Checked(row.box)) << "other texts keep the state";
        this->Apply(row.name, "OFF");
        EXPECT_FALSE(this->P().Checked(row.box));
        this->Apply(row.name, "");
        EXPECT_FALSE(this->P().Checked(row.box));
    }
}

TYPED_TEST_P(PanelContract, KeywordListsSelectTheirItemOrStay)
{
    const struct
    {
        const char *name;
        PanelCombo box;
        const char *item0;
        const char *item1;
        const char *unknown;
    } rows[] = {
        {"SOCKASL", PanelCombo::ASL, "SHORT", "LONG", "long"},
        {"SOCKBSL", PanelCombo::BSL, "SHORT", "LONG", "MEDIUM"},
        {"SOCKCSL", PanelCombo::CSL, "SHORT", "LONG", ""},
        {"SOCKDSL", PanelCombo::DSL, "SHORT", "LONG", "SHORT "},
        {"REGSND", PanelCombo::RegSnd, "LINK", "DATA", "LINK&DATA"},
        {"HEARTSND", PanelCombo::HeartSnd, "NET", "COM", "net"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        this->Apply(row.name, row.item1);
        EXPECT_EQ(this->P().ComboIndex(row.box), 1);
        this->Apply(row.name, row.unknown);
        EXPECT_EQ(this->P().ComboIndex(row.box), 1);
        this->Apply(row.name, row.item0);
        EXPECT_EQ(this->P().ComboIndex(row.box), 0);
        this->Apply(row.name, row.unknown);
        EXPECT_EQ(this->P().ComboIndex(row.box), 0);
    }
}

TYPED_TEST_P(PanelContract, RegistrationTypeKeywords)
{
    IPanel &p = this->P();
    const struct
    {
        const char *value;
        int index;
    } rows[] = {{"ICCID", 0}, {"MEID", 1}, {"CLOUD", 2}, {"IMEI", 1}, {"USER", 3}};
    for (const auto &row : rows) {
        this->Apply("REGTP", row.value);
        EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), row.index) << row.value;
    }
    this->Apply("REGTP", "cloud");
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), 3);
}

TYPED_TEST_P(PanelContract, SelectComboTextIgnoresCaseAndClearsOnNoMatch)
{
    IPanel &p = this->P();
    SelectComboText(p, PanelCombo::HTPTP, "get");
    EXPECT_EQ(p.ComboIndex(PanelCombo::HTPTP), 0);
    EXPECT_EQ(p.ComboText(PanelCombo::HTPTP), "GET");
    this->Apply("HTPTP", "POST");
    EXPECT_EQ(p.ComboIndex(PanelCombo::HTPTP), 1);
    this->Apply("HTPTP", "PUT");
    EXPECT_EQ(p.ComboIndex(PanelCombo::HTPTP), -1);
    EXPECT_EQ(p.ComboText(PanelCombo::HTPTP), "");
    SelectComboText(p, PanelCombo::P, "even");
    EXPECT_EQ(p.ComboText(PanelCombo::P), "EVEN");
}

TYPED_TEST_P(PanelContract, SetComboItemKeepsTheSelectionAndIgnoresBadIndexes)
{
    IPanel &p = this->P();
    const int count = p.ComboCount(PanelCombo::RegTp);
    ASSERT_EQ(count, 4);
    p.SetComboIndex(PanelCombo::RegTp, 2);
    p.SetComboItem(PanelCombo::RegTp, 1, "Other text");
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), 2);
    EXPECT_EQ(p.ComboItem(PanelCombo::RegTp, 1), "Other text");

    p.SetComboIndex(PanelCombo::RegTp, 1);
    p.SetComboItem(PanelCombo::RegTp, 1, "Shown now");
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), 1);
    EXPECT_EQ(p.ComboText(PanelCombo::RegTp), "Shown now");

    const auto before = this->Snap();
    p.SetComboItem(PanelCombo::RegTp, count, "x");
    p.SetComboItem(PanelCombo::RegTp, -1, "x");
    p.SetComboItem(PanelCombo::RegTp, 1000, "x");
    EXPECT_TRUE(this->Snap() == before);
}

TYPED_TEST_P(PanelContract, SocketTakesExactlyThreeFields)
{
    IPanel &p = this->P();
    this->Apply("SOCKA", "UDP,host,80");
    EXPECT_EQ(p.ComboText(PanelCombo::ProtocolA), "UDP");
    EXPECT_EQ(p.EditText(PanelEdit::AddrA), "host");
    EXPECT_EQ(p.EditText(PanelEdit::PortA), "80");

    auto before = this->Snap();
    this->Apply("SOCKA", "TCP,my host,80");
    this->Apply("SOCKA", "TCP,host");
    this->Apply("SOCKA", "");
    EXPECT_TRUE(this->Snap() == before) << "a blank splits a field: four fields change nothing";

    this->Apply("SOCKB", "tcp,,81");
    EXPECT_EQ(p.ComboText(PanelCombo::ProtocolB), "TCP");
    EXPECT_EQ(p.EditText(PanelEdit::AddrB), "");
    EXPECT_EQ(p.EditText(PanelEdit::PortB), "81");

    this->Apply("SOCKC", "TCP,c.example,82");
    EXPECT_EQ(p.EditText(PanelEdit::AddrC), "c.example");
    this->Apply("SOCKD", "SCTP,d.example,83");
    EXPECT_EQ(p.ComboIndex(PanelCombo::ProtocolD), -1);
    EXPECT_EQ(p.EditText(PanelEdit::AddrD), "d.example");
    EXPECT_EQ(p.EditText(PanelEdit::PortD), "83");
}

TYPED_TEST_P(PanelContract, UartTakesFourOrFiveFields)
{
    IPanel &p = this->P();
    this->Apply("UART", "9600,7,2,EVEN,RS485");
    EXPECT_EQ(p.ComboText(PanelCombo::Baud), "9600");
    EXPECT_EQ(p.ComboText(PanelCombo::D), "7");
    EXPECT_EQ(p.ComboText(PanelCombo::S), "2");
    EXPECT_EQ(p.ComboText(PanelCombo::P), "EVEN");
    EXPECT_EQ(p.ComboText(PanelCombo::Flow), "RS485");

    this->Apply("UART", "115200,8,1,NONE");
    EXPECT_EQ(p.ComboText(PanelCombo::Baud), "115200");
    EXPECT_EQ(p.ComboText(PanelCombo::D), "8");
    EXPECT_EQ(p.ComboText(PanelCombo::S), "1");
    EXPECT_EQ(p.ComboText(PanelCombo::P), "NONE");
    EXPECT_EQ(p.ComboText(PanelCombo::Flow), "RS485") << "four fields leave the flow";

    const auto before = this->Snap();
    this->Apply("UART", "9600,8,1");
    this->Apply("UART", "9600,8,1,NONE,NFC,X");
    this->Apply("UART", "");
    EXPECT_TRUE(this->Snap() == before);

    this->Apply("UART", "1234,8,1,NONE");
    EXPECT_EQ(p.ComboIndex(PanelCombo::Baud), -1);
    EXPECT_EQ(p.ComboText(PanelCombo::Baud), "");
}

TYPED_TEST_P(PanelContract, HttpServerAndCloudTakeTwoFields)
{
    IPanel &p = this->P();
    this->Apply("HTPSV", "10.0.0.1,8080");
    EXPECT_EQ(p.EditText(PanelEdit::HTPSVIP), "10.0.0.1");
    EXPECT_EQ(p.EditText(PanelEdit::HTPSVPort), "8080");
    this->Apply("CLOUD", "00000000000000000001,00001234");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 2), "00000000000000000001");
    EXPECT_EQ(p.EditText(PanelEdit::CloudPa), "00001234");

    const auto before = this->Snap();
    this->Apply("HTPSV", "10.0.0.2");
    this->Apply("HTPSV", "a,b,c");
    this->Apply("CLOUD", "id");
    this->Apply("CLOUD", "my id,pw");
    EXPECT_TRUE(this->Snap() == before);
}

TYPED_TEST_P(PanelContract, RegistrationDataGoesToItsEntry)
{
    IPanel &p = this->P();
    this->Apply("ICCID", "89860012345678901234");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 0), "89860012345678901234");
    this->Apply("IMEI", "861234567890123");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 1), "861234567890123");
    this->Apply("MEID", "A0000012345678");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 1), "A0000012345678");

    p.SetChecked(PanelCheck::RegDtHex, false);
    this->Apply("REGDT", "31323334");
    EXPECT_TRUE(p.Checked(PanelCheck::RegDtHex));
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 3), "31323334");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegDt, 0), "89860012345678901234");

    this->Apply("ID", "00000000001");
    EXPECT_EQ(p.EditText(PanelEdit::UdcId), "00000000001");
}

TYPED_TEST_P(PanelContract, HeartbeatDataTicksItsHexBoxFirst)
{
    IPanel &p = this->P();
    p.SetChecked(PanelCheck::HeartDtHex, false);
    p.SetEditText(PanelEdit::HeartDt, "xyz");
    this->Apply("HEARTDT", "6162");
    EXPECT_TRUE(p.Checked(PanelCheck::HeartDtHex));
    EXPECT_EQ(p.EditText(PanelEdit::HeartDt), "6162");
    this->Apply("HEARTDT", "");
    EXPECT_EQ(p.EditText(PanelEdit::HeartDt), "");
}

TYPED_TEST_P(PanelContract, PlainTextRowsTakeTheWholeValue)
{
    const struct
    {
        const char *name;
        PanelEdit box;
        const char *value;
    } rows[] = {
        {"STMSG", PanelEdit::StMsg, "欢迎 welcome"},
        {"CMDPW", PanelEdit::CmdPw, "secret"},
        {"UARTFT", PanelEdit::UARTFT, "50"},
        {"UARTFL", PanelEdit::UARTFL, "1024"},
        {"APN", PanelEdit::Apn, "CMNET,,,0"},
        {"SOCKATO", PanelEdit::SockATo, "10"},
        {"SOCKBTO", PanelEdit::SockBTo, "11"},
        {"SOCKCTO", PanelEdit::SockCTo, "12"},
        {"SOCKDTO", PanelEdit::SockDTo, "13"},
        {"SOCKRSTIM", PanelEdit::SockRsTim, "60"},
        {"HEARTTM", PanelEdit::HeartTm, "30"},
        {"HTPURL", PanelEdit::HTPURL, "/1.php[3F]"},
        {"HTPHD", PanelEdit::HTPHD, "Connection: close[0D][0A]"},
        {"HTPTO", PanelEdit::HtpTo, "5"},
        {"DSTNUM", PanelEdit::DSTNUM, "13800000000"},
        {"RSTIM", PanelEdit::RsTim, "1800"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        this->Apply(row.name, row.value);
        EXPECT_EQ(this->P().EditText(row.box), row.value);
        this->Apply(row.name, "");
        EXPECT_EQ(this->P().EditText(row.box), "");
    }
    this->Apply("stmsg", "lower-case names are commands too");
    EXPECT_EQ(this->P().EditText(PanelEdit::StMsg), "lower-case names are commands too");
}

TYPED_TEST_P(PanelContract, WorkModeFromText)
{
    IPanel &p = this->P();
    const auto only = [&p](int expected) {
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(p.RadioChecked(contract_detail::kAllRadios[i]), i == expected) << i;
        EXPECT_EQ(WorkModeIndex(p), expected < 0 ? 4 : expected);
    };
    this->Apply("WKMOD", "HTTPD");
    only(1);
    this->Apply("WKMOD", "SMS2");
    only(2);
    this->Apply("WKMOD", "UDC");
    only(3);
    this->Apply("WKMOD", "NET");
    only(0);
    this->Apply("WKMOD", "net");
    only(-1);
    this->Apply("WKMOD", "xUDCx");
    only(3);
    this->Apply("WKMOD", "");
    only(-1);
}

TYPED_TEST_P(PanelContract, HardwareSignSetsTheIdentityItem)
{
    IPanel &p = this->P();
    TReplyApplier &a = *this->m_applier;
    p.SetComboIndex(PanelCombo::RegTp, 3);

    a.SetHardwareSign(THdVerSign::HdAlder);
    EXPECT_EQ(p.ComboItem(PanelCombo::RegTp, 1), LangText("lang_cbbRegTp1_MEID"));
    EXPECT_EQ(a.IdentityCmd(), TCmd::MEID);
    EXPECT_EQ(p.ComboIndex(PanelCombo::RegTp), 3);

    this->Apply("VER", "V1.0.0");
    EXPECT_EQ(p.ComboItem(PanelCombo::RegTp, 1), LangText("lang_cbbRegTp1_IMEI"));
    EXPECT_EQ(a.IdentityCmd(), TCmd::IMEI);
    EXPECT_EQ(a.HardwareSign(), THdVerSign::HdCedar);

    this->Apply("HDVER", "1.0.5");
    EXPECT_EQ(a.HardwareSign(), THdVerSign::HdAlder);
    EXPECT_EQ(p.ComboItem(PanelCombo::RegTp, 1), LangText("lang_cbbRegTp1_MEID"));

    this->Apply("HDVER", "2.1.0");
    EXPECT_EQ(a.IdentityCmd(), TCmd::IMEI);

    const auto before = this->Snap();
    this->Apply("HDVER", "no version");
    EXPECT_EQ(a.HardwareSign(), THdVerSign::HdUnknown);
    EXPECT_EQ(a.IdentityCmd(), TCmd::IMEI);
    EXPECT_TRUE(this->Snap() == before);
    EXPECT_EQ(this->m_log.warnings.size(), 1U);
}

TYPED_TEST_P(PanelContract, RepliesWithoutAPanelValueChangeNothing)
{
    const auto before = this->Snap();
    for (const char *name : {"H", "ENTM", "SN", "RELD", "CLEAR", "CFGTF", "SOCKALK", "SOCKBLK",
                             "SOCKCLK", "SOCKDLK", "CSQ", "Z", "SMSEND", "REBOOT", "", "NOSUCH"}) {
        this->Apply(name, "ON");
        EXPECT_TRUE(this->Snap() == before) << name;
    }
}

REGISTER_TYPED_TEST_SUITE_P(PanelContract, OnOffSwitchesFollowTheValue,
                            KeywordListsSelectTheirItemOrStay, RegistrationTypeKeywords,
                            SelectComboTextIgnoresCaseAndClearsOnNoMatch,
                            SetComboItemKeepsTheSelectionAndIgnoresBadIndexes,
                            SocketTakesExactlyThreeFields, UartTakesFourOrFiveFields,
                            HttpServerAndCloudTakeTwoFields, RegistrationDataGoesToItsEntry,
                            HeartbeatDataTicksItsHexBoxFirst, PlainTextRowsTakeTheWholeValue,
                            WorkModeFromText, HardwareSignSetsTheIdentityItem,
                            RepliesWithoutAPanelValueChangeNothing);

} // namespace m845::test
