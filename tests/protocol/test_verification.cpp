// Changes since the last read and the check of a device against the panel, on the plain panel.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "common/scoped_language.h"
#include "lang/langlist.h"
#include "protocol/panelvalues.h"
#include "protocol/setall.h"
#include "protocol/verification.h"

namespace m845::test {
namespace {

class VerificationTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_language = std::make_unique<ScopedLanguage>("m845-verify"); }
    static void TearDownTestSuite() { s_language.reset(); }
    void SetUp() override
    {
        LangList()->IsChinese = false;
        p.SetRadioChecked(PanelRadio::NetTran, true);
        p.SetChecked(PanelCheck::SktA, true);
        p.SetEditText(PanelEdit::AddrA, "host");
        p.SetEditText(PanelEdit::PortA, "80");
        p.SetEditText(PanelEdit::SockATo, "23");
    }

    static std::vector<std::string> Queue()
    {
        std::vector<std::string> out;
        for (int i = 0; i < QueueCount(); ++i)
            out.push_back(QueueEntry(i));
        return out;
    }

    TFakePanel p;
    static inline std::unique_ptr<ScopedLanguage> s_language;
};

// Whatever the mode and the enable boxes, the check asks for exactly what the write-all sends.
TEST_F(VerificationTest, QueriesWhatTheWriteAllWouldWriteInItsOrder)
{
    const auto modes
        = {PanelRadio::NetTran, PanelRadio::Udc, PanelRadio::Httpd, PanelRadio::SmsTran};
    for (const PanelRadio mode : modes) {
        for (const bool extras : {false, true}) {
            p.SetRadioChecked(mode, true);
            for (const PanelCheck box :
                 {PanelCheck::SktB, PanelCheck::HeartEn, PanelCheck::RegEn, PanelCheck::More})
                p.SetChecked(box, extras);
            BuildSetAll(p, TCmd::IMEI);
            std::vector<std::string> expected;
            for (const std::string &line : Queue())
                expected.push_back(line.substr(0, line.find('=')) + "?\r\n");

            TVerification check;
            check.Prepare(p);
            EXPECT_EQ(Queue(), expected) << static_cast<int>(mode) << extras;
            EXPECT_EQ(check.Items().size(), expected.size());
        }
    }
}

TEST_F(VerificationTest, EachAnswerIsComparedAsThePanelShowsIt)
{
    p.SetRadioChecked(PanelRadio::Httpd, true);
    p.SetEditText(PanelEdit::HTPURL, "/a.php");
    p.SetEditText(PanelEdit::HtpTo, "10");
    TVerification check;
    check.Prepare(p);
    // WKMOD HTPTP HTPURL HTPSV HTPTO HTPHD HTPFLT UART UARTFT UARTFL.
    ASSERT_EQ(check.Items().size(), 10U);
    check.Answer("WKMOD", "HTTPD");
    check.Answer("HTPTP", "post"); // a list box ignores case
    check.Answer("htpurl", "/b.php");
    check.Answer("HTPSV", ",");
    check.Refused("HTPTO");
    check.Answer("HTPHD", "");
    // HTPFLT answered without a value (an "OK" alone).
    check.Answer("UART", "115200,8,1,NONE,NFC"); // the flow field the tool never writes
    check.Answer("UARTFT", "");
    check.Answer("UARTFL", "");
    check.Answer("SOCKATO", "99"); // not asked: none of the check's business

    EXPECT_FALSE(check.Takes("SOCKATO"));
    EXPECT_TRUE(check.Takes("htpto"));
    EXPECT_EQ(check.ProblemLines(), (std::vector<std::string>{
                                        "HTPURL: panel /a.php, device /b.php",
                                        "HTPTO: not verified (refused)",
                                        "HTPFLT: not verified (no value in the answer)",
                                    }));
    bool allMatch = true;
    EXPECT_EQ(check.Summary(&allMatch), "1 of 10 values differ, 2 not verified");
    EXPECT_FALSE(allMatch);
    ASSERT_EQ(check.Differing().size(), 1U);
    EXPECT_EQ(check.Differing().front()->cmd, TCmd::HTPURL);
    EXPECT_EQ(check.Settled(), 9);

    LangList()->IsChinese = true;
    EXPECT_EQ(check.Summary(), "1 项参数与设备不一致（共 10 项），2 项未校验");
}

TEST_F(VerificationTest, AllMatchOnlyWhenEveryValueWasCompared)
{
    p.SetRadioChecked(PanelRadio::SmsTran, true);
    TVerification check;
    check.Prepare(p);
    for (const auto &item : check.Items())
        check.Answer(CmdName(item.cmd), item.panel);
    bool allMatch = false;
    EXPECT_EQ(check.Summary(&allMatch), "All 7 values match");
    EXPECT_TRUE(allMatch);
    EXPECT_TRUE(check.ProblemLines().empty());
    EXPECT_EQ(TVerification::StoppedLine(TRunEnd::LineLost, "SOCKA"),
              "Verification stopped: the serial line was lost; no result");
    EXPECT_EQ(TVerification::StoppedLine(TRunEnd::DeviceSilent, "SOCKA"),
              "Verification stopped: no answer from the device to SOCKA; no result");
}

TEST_F(VerificationTest, ChangesSinceTheReadComeAndGoWithTheValue)
{
    TReadState state;
    state.Read(TakePanelValues(p), TReadSource::Device, NotReported({"WKMOD", "SOCKATO"}));
    EXPECT_TRUE(state.Changes(TakePanelValues(p)).empty());
    EXPECT_TRUE(state.NotRead(TCmd::DSTNUM));
    EXPECT_FALSE(state.NotRead(TCmd::SOCKATO));

    p.SetEditText(PanelEdit::SockATo, "17");
    p.SetComboIndex(PanelCombo::ASL, 1);
    const auto changes = state.Changes(TakePanelValues(p));
    ASSERT_EQ(changes.size(), 2U);
    EXPECT_EQ(changes[0].cmd, TCmd::SOCKASL); // the table's order
    EXPECT_EQ(changes[1].cmd, TCmd::SOCKATO);
    EXPECT_EQ(changes[1].before, std::optional<std::string>("23"));
    EXPECT_EQ(changes[1].after, std::optional<std::string>("17"));

    p.SetEditText(PanelEdit::SockATo, "23");
    p.SetComboIndex(PanelCombo::ASL, 0);
    EXPECT_TRUE(state.Changes(TakePanelValues(p)).empty()) << "edited back";
}

struct TControlCase
{
    TCmd cmd;
    std::optional<std::string> before, now;
    std::vector<std::string> controls;
};

class DifferingControlsTest : public testing::TestWithParam<TControlCase>
{
};

TEST_P(DifferingControlsTest, MarkWhatShowsTheDifference)
{
    const TControlCase &c = GetParam();
    std::vector<std::string> controls;
    for (const TFieldDifference &field : DifferingControls(c.cmd, c.before, c.now))
        controls.push_back(field.control);
    EXPECT_EQ(controls, c.controls);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DifferingControlsTest,
    testing::Values(
        TControlCase{TCmd::SOCKA, "TCP,host,80", "TCP,host,81", {"edtPortA"}},
        TControlCase{TCmd::SOCKA, "TCP,host,80", "UDP,other,80", {"cbbProtocolA", "edtAddrA"}},
        // A comma typed into the address: the fields no longer line up.
        TControlCase{
            TCmd::SOCKB, "TCP,host,80", "TCP,a,b,80", {"cbbProtocolB", "edtAddrB", "edtPortB"}},
        TControlCase{TCmd::UART, "115200,8,1,NONE", "9600,8,1,EVEN", {"cbbBaud", "cbbP"}},
        TControlCase{TCmd::CLOUD, "id,1234", "id,5678", {"edtCloudPa"}},
        TControlCase{TCmd::WKMOD, "NET", "HTTPD", {"rbHttpd"}},
        TControlCase{
            TCmd::WKMOD, "NET", std::nullopt, {"rbNetTran", "rbHttpd", "rbSmsTran", "rbUdc"}},
        TControlCase{TCmd::APN, "CMNET,,,0", "CMIOT,,,0", {"lbledtApn"}}));

} // namespace
} // namespace m845::test
