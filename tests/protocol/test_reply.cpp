#include "protocol/reply.h"
#include "protocol/valueforms.h"

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "common/panel_contract.h"
#include "lang/langlist.h"
#include "protocol/fakes.h"

namespace m845::test {
namespace {

using namespace std::string_literals;

struct TBetweenCase
{
    std::string s, a, b, expected;
};

class TextBetweenTest : public ::testing::TestWithParam<TBetweenCase>
{
};

TEST_P(TextBetweenTest, CutsBetweenTheFirstMarkers)
{
    const auto &c = GetParam();
    EXPECT_EQ(TextBetween(c.s, c.a, c.b), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextBetweenTest,
    ::testing::Values(TBetweenCase{"\r\n+WKMOD:NET\r\n\r\nOK\r\n", "\r\n+", ":", "WKMOD"},
                      TBetweenCase{"WKMOD:NET\r\n\r\nOK", ":", "\r\n\r\n", "NET"},
                      TBetweenCase{"WKMOD:NET\r\nOK\r\n", ":", "\r\n\r\n", ""},
                      TBetweenCase{"abc", "x", "c", "ab"}, // missing a: from position len(a)
                      TBetweenCase{"abc", "xy", "c", "b"},
                      TBetweenCase{"abc", "a", "x", ""},  // missing b
                      TBetweenCase{"b:a", "a", "b", ""},  // b before a
                      TBetweenCase{"a::b", ":", ":", ""}, // b is the first a itself
                      TBetweenCase{"x:y:z", ":", "z", "y:"}, TBetweenCase{"", "", "", ""},
                      TBetweenCase{"ab", "", "b", "a"}));

struct TVersionCase
{
    const char *text;
    THdVerSign sign;
};

class VersionClassTest : public ::testing::TestWithParam<TVersionCase>
{
};

TEST_P(VersionClassTest, ClassifiesByVersionNumber)
{
    EXPECT_EQ(VersionClass(GetParam().text), GetParam().sign) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionClassTest,
                         ::testing::Values(TVersionCase{"1.0.5", THdVerSign::HdAlder},
                                           TVersionCase{"1.0.0", THdVerSign::HdAlder},
                                           TVersionCase{"1.99.99", THdVerSign::HdAlder},
                                           TVersionCase{"2.1.0", THdVerSign::HdBirch},
                                           TVersionCase{"2.0.0", THdVerSign::HdBirch},
                                           TVersionCase{"0.99.99", THdVerSign::HdUnknown},
                                           TVersionCase{"3.0.0", THdVerSign::HdUnknown},
                                           TVersionCase{"no version", THdVerSign::HdUnknown},
                                           TVersionCase{"", THdVerSign::HdUnknown}));

class ApplyTest : public ::testing::Test
{
protected:
    ApplyTest()
    {
        applier.SetContinueOperation([this] { ++continued; });
    }

    TFakePanel panel;
    TFakeLog log;
    TReplyApplier applier{panel, log};
    int continued = 0;
};

struct TParseCase
{
    const char *label;
    std::string rx;
    std::string lastSent;
    const char *expectedStMsg; // nullptr: the value must not have been applied
};

void PrintTo(const TParseCase &c, std::ostream *os)
{
    *os << c.label;
}

class ParseReplyTest : public ApplyTest, public ::testing::WithParamInterface<TParseCase>
{
};

TEST_P(ParseReplyTest, LogsAlwaysAndAppliesOnlyWellFormedReplies)
{
    const auto &c = GetParam();
    panel.SetEditText(PanelEdit::StMsg, "before");
    applier.ParseReply(c.rx, c.lastSent);
    EXPECT_EQ(log.entries, (std::vector<TLogEntry>{{TEntryKind::Rx, c.rx}}));
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), c.expectedStMsg ? c.expectedStMsg : "before");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseReplyTest,
    ::testing::Values(
        TParseCase{"plain", "\r\n+STMSG:hello\r\n\r\nOK\r\n", "AT+STMSG?\r\n", "hello"},
        TParseCase{"echoed query first", "AT+STMSG?\r\n\r\n+STMSG:hello\r\n\r\nOK\r\n", "",
                   "hello"},
        TParseCase{"the text last sent", "\r\n+STMSG:hello\r\n\r\n", "\r\n+STMSG:hello\r\n\r\n",
                   nullptr},
        TParseCase{"six plus signs", "\r\n+STMSG:a+b+c+d+e+f\r\n\r\nOK\r\n", "", nullptr},
        TParseCase{"five plus signs", "\r\n+STMSG:a+b+c+d+e\r\n\r\nOK\r\n", "", "a+b+c+d+e"},
        TParseCase{"no blank line", "\r\n+STMSG:hello\r\nOK\r\n", "", ""},
        TParseCase{"no name", "\r\n+:hello\r\n\r\n", "", nullptr},
        TParseCase{"entry answer", "a", "", nullptr},
        TParseCase{"entry answer 2", "+ok\r\n", "", nullptr},
        TParseCase{"set answer", "\r\nOK\r\n\r\n", "", nullptr},
        TParseCase{"GBK value", "\r\n+STMSG:\xBB\xB6\xD3\xAD\r\n\r\nOK\r\n", "",
                   "\xE6\xAC\xA2\xE8\xBF\x8E"},
        TParseCase{"lower-case name", "\r\n+stmsg:x\r\n\r\n", "", "x"},
        TParseCase{"binary name", "\r\n+\x01\xFF\0:x\r\n\r\n"s, "", nullptr}),
    [](const auto &info) {
        std::string name = info.param.label;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(ApplyTest, AnInvalidGbkValueIsAppliedWithReplacementCharacters)
{
    applier.ParseReply("\r\n+STMSG:a\x81\r\n\r\n", "");
    const std::string shown = panel.EditText(PanelEdit::StMsg);
    EXPECT_TRUE(shown.starts_with("a"));
    EXPECT_NE(shown.find("\xEF\xBF\xBD"), std::string::npos);
}

struct TOnOffCase
{
    bool before;
    const char *text;
    bool after;
    int reactions;
};

class CheckFromOnOffTest : public ApplyTest, public ::testing::WithParamInterface<TOnOffCase>
{
};

TEST_P(CheckFromOnOffTest, SetsThenRunsTheReactionTwice)
{
    const auto &c = GetParam();
    panel.SetChecked(PanelCheck::HeartEn, c.before);
    const int start = panel.CheckReactions(PanelCheck::HeartEn);
    CheckFromOnOff(panel, PanelCheck::HeartEn, c.text);
    EXPECT_EQ(panel.Checked(PanelCheck::HeartEn), c.after);
    EXPECT_EQ(panel.CheckReactions(PanelCheck::HeartEn) - start, c.reactions);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckFromOnOffTest,
    ::testing::Values(TOnOffCase{true, "ON", true, 2}, TOnOffCase{false, "ON", true, 3},
                      TOnOffCase{true, "OFF", false, 3}, TOnOffCase{false, "OFF", false, 2},
                      TOnOffCase{true, "on", true, 2}, TOnOffCase{false, "", false, 2}));

TEST_F(ApplyTest, RegistrationTypeRunsItsReactionEveryTime)
{
    for (const char *value : {"CLOUD", "cloud", "ICCID", "nonsense"})
        applier.ApplyValue("REGTP", value);
    EXPECT_EQ(panel.regTpChanges, 4);
    EXPECT_EQ(panel.ComboIndex(PanelCombo::RegTp), 0);
}

TEST_F(ApplyTest, SocketRunsTheProtocolReactionOfItsRowOnlyWithThreeFields)
{
    applier.ApplyValue("SOCKA", "TCP,my host,80");
    applier.ApplyValue("SOCKB", "UDP,host,80");
    applier.ApplyValue("SOCKD", "TCP,host,81");
    applier.ApplyValue("SOCKC", "");
    EXPECT_EQ(panel.protocolChanges, (std::vector<int>{1, 3}));
}

TEST_F(ApplyTest, WorkModeReactionRunsEvenForTheCurrentMode)
{
    applier.ApplyValue("WKMOD", "NET");
    applier.ApplyValue("WKMOD", "NET");
    applier.ApplyValue("WKMOD", "nothing");
    EXPECT_EQ(panel.workModeReactions, 2);
    EXPECT_EQ(WorkModeIndex(panel), 4);
}

TEST_F(ApplyTest, HexDataTicksItsBoxOnlyWhenClear)
{
    applier.ApplyValue("REGDT", "41");
    applier.ApplyValue("REGDT", "42");
    applier.ApplyValue("HEARTDT", "43");
    EXPECT_EQ(panel.CheckReactions(PanelCheck::RegDtHex), 1);
    EXPECT_EQ(panel.CheckReactions(PanelCheck::HeartDtHex), 1);
    EXPECT_EQ(panel.ComboItem(PanelCombo::RegDt, 3), "42");
}

TEST_F(ApplyTest, VersionRepliesContinueTheRunAndOthersDoNot)
{
    applier.ApplyValue("VER", "anything");
    applier.ApplyValue("hdver", "2.0.0");
    applier.ApplyValue("SN", "123");
    applier.ApplyValue("CSQ", "20,99");
    EXPECT_EQ(continued, 2);
    EXPECT_EQ(applier.HardwareSign(), THdVerSign::HdBirch);
}

TEST_F(ApplyTest, RestartAndUnknownVersionAreReported)
{
    applier.ApplyValue("Z", "");
    applier.ApplyValue("HDVER", "x");
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector{LangText("info_Restarting")});
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector{LangText("info_PlsUpFw")});
    EXPECT_EQ(applier.IdentityCmd(), TCmd::MEID) << "the identity stays as it was";
}

TEST_F(ApplyTest, RoutinesIgnoreCommandsThatAreNotTheirs)
{
    const auto before = contract_detail::TPanelSnapshot::Take(panel);
    SetChoiceFromText(panel, TCmd::E, PanelCombo::RegDt, "ON");
    SetListFromText(panel, TCmd::SOCKA, "TCP,h,1");
    SetSocketFromText(panel, TCmd::UART, "TCP,h,1");
    EXPECT_TRUE(contract_detail::TPanelSnapshot::Take(panel) == before);
}

} // namespace
} // namespace m845::test
