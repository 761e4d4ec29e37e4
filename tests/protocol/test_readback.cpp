#include "protocol/readback.h"

#include <string>

#include <gtest/gtest.h>

namespace m845 {
namespace {

struct ShownCase
{
    TCmd cmd;
    const char *written;
    const char *reply;
    bool same;
};

class ShowsSameTest : public testing::TestWithParam<ShownCase>
{
};

TEST_P(ShowsSameTest, ComparesAsThePanelShows)
{
    const ShownCase &c = GetParam();
    EXPECT_EQ(ShowsSame(c.cmd, c.written, c.reply), c.same) << c.written << " / " << c.reply;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShowsSameTest,
    testing::Values(
        // The device adds the flow field the tool never writes; the list boxes ignore case.
        ShownCase{TCmd::UART, "115200,8,1,NONE", "115200,8,1,NONE,NFC", true},
        ShownCase{TCmd::UART, "115200,8,1,NONE", "115200,8,1,none", true},
        ShownCase{TCmd::UART, "115200,8,1,NONE", "9600,8,1,NONE,NFC", false},
        ShownCase{TCmd::UART, "115200,8,1,NONE", "115200,8,1", false},
        // A socket shows only with exactly three fields; the address keeps its case.
        ShownCase{TCmd::SOCKA, "TCP,host,80", "tcp,host,80", true},
        ShownCase{TCmd::SOCKB, "TCP,host,80", "TCP,HOST,80", false},
        ShownCase{TCmd::SOCKA, "TCP,host,80", "TCP,host,80,1", false},
        ShownCase{TCmd::HTPTP, "POST", "post", true},
        // The work mode by the panel's rule: "SMS2" checks the SMS button, "net" none.
        ShownCase{TCmd::WKMOD, "SMS", "SMS2", true}, ShownCase{TCmd::WKMOD, "NET", "net", false},
        ShownCase{TCmd::WKMOD, "UDC", "NET", false},
        // Keywords and texts compare exactly.
        ShownCase{TCmd::SOCKASL, "LONG", "long", false},
        ShownCase{TCmd::APN, "CMNET,,,0", "CMNET,,,0", true},
        ShownCase{TCmd::HEARTDT, "616263", "616264", false},
        ShownCase{TCmd::CMDPW, "abc", "abc ", false}));

// The ordinary lines run through every provisioning test; these are the odd ones.
TEST(ReadBackLines, ValuesMayHoldMarkersAndNamesMayNotBeEmpty)
{
    std::string value;
    EXPECT_TRUE(SetLineValue("AT+HTPURL=/a?b=c\r\n", value));
    EXPECT_EQ(value, "/a?b=c");
    EXPECT_EQ(CommandOfLine("AT+HTPURL=/a?b=c\r\n"), "HTPURL");
    EXPECT_EQ(CommandOfLine("AT+=1\r\n"), "");
    EXPECT_FALSE(SetLineValue("AT+WKMOD?\r\n", value));
    EXPECT_EQ(RefusalText("\r\nbusy\r\n"), "busy");
}

} // namespace
} // namespace m845
