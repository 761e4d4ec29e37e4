// The signal answer as the technician reads it: CSQ to dBm and band for every edge of the
// bands, and the answers no reading may come from; the link words of a socket.

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "lang/langlist.h"
#include "monitor/signalreading.h"

namespace m845 {
namespace {

struct TCsqCase
{
    const char *value;
    std::optional<int> csq;
    std::optional<int> dbm;
    TSignalBand band;
    const char *shown; // in English
};

class CsqTest : public ::testing::TestWithParam<TCsqCase>
{
protected:
    static void SetUpTestSuite() { InitBuiltInLanguage(false); }
    static void TearDownTestSuite() { ReleaseLanguage(); }
};

TEST_P(CsqTest, ReadsAsTheTechnicianWouldSayIt)
{
    const TCsqCase &c = GetParam();
    const std::optional<int> csq = ParseCsq(c.value);
    EXPECT_EQ(csq, c.csq);
    EXPECT_EQ(csq ? CsqToDbm(*csq) : std::nullopt, c.dbm);
    EXPECT_EQ(BandOfCsq(csq), c.band);
    EXPECT_EQ(SignalText(csq), c.shown);
}

using B = TSignalBand;
INSTANTIATE_TEST_SUITE_P(
    Values, CsqTest,
    ::testing::Values(TCsqCase{"0,99", 0, -113, B::Poor, "-113 dBm (CSQ 0)"},
                      TCsqCase{"9,0", 9, -95, B::Poor, "-95 dBm (CSQ 9)"},
                      TCsqCase{"10,99", 10, -93, B::Fair, "-93 dBm (CSQ 10)"},
                      TCsqCase{"14,99", 14, -85, B::Fair, "-85 dBm (CSQ 14)"},
                      TCsqCase{"15,99", 15, -83, B::Good, "-83 dBm (CSQ 15)"},
                      TCsqCase{"19,99", 19, -75, B::Good, "-75 dBm (CSQ 19)"},
                      TCsqCase{"20,99", 20, -73, B::Excellent, "-73 dBm (CSQ 20)"},
                      TCsqCase{"31,99", 31, -51, B::Excellent, "-51 dBm (CSQ 31)"},
                      TCsqCase{"99,99", 99, std::nullopt, B::None, "No signal (CSQ 99)"},
                      // Forms a device may use: no error rate, blanks around the numbers.
                      TCsqCase{"24", 24, -65, B::Excellent, "-65 dBm (CSQ 24)"},
                      TCsqCase{" 24 , 99 ", 24, -65, B::Excellent, "-65 dBm (CSQ 24)"},
                      // Out of range, and forms we do not know.
                      TCsqCase{"32,99", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"98", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"100,99", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"-1,99", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"abc", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"24,x", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"24,99,0", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"2 4", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"24.5", std::nullopt, std::nullopt, B::Unknown, "unknown"},
                      TCsqCase{"+CSQ:24,99", std::nullopt, std::nullopt, B::Unknown, "unknown"}));

TEST(CsqBands, NumbersOutsideTheRangeHaveNoBandAndNoDbm)
{
    EXPECT_EQ(BandOfCsq(32), TSignalBand::Unknown);
    EXPECT_EQ(BandOfCsq(-1), TSignalBand::Unknown);
    EXPECT_EQ(CsqToDbm(99), std::nullopt);
    EXPECT_EQ(CsqToDbm(-1), std::nullopt);
    EXPECT_EQ(BandWord(TSignalBand::None), "none");
}

struct TLinkCase
{
    const char *value;
    TLinkState state;
    const char *word;
};

class LinkStateTest : public ::testing::TestWithParam<TLinkCase>
{
};

TEST_P(LinkStateTest, TakesTheDevicesWord)
{
    const TLinkCase &c = GetParam();
    const TLinkReading reading = ParseLinkState(c.value);
    EXPECT_EQ(reading.state, c.state);
    EXPECT_EQ(LinkWord(reading), c.word);
}

INSTANTIATE_TEST_SUITE_P(
    Words, LinkStateTest,
    ::testing::Values(TLinkCase{"ON", TLinkState::Connected, "CONNECTED"},
                      TLinkCase{" connected ", TLinkState::Connected, "CONNECTED"},
                      TLinkCase{"OFF", TLinkState::Disconnected, "DISCONNECTED"},
                      TLinkCase{"Disconnected", TLinkState::Disconnected, "DISCONNECTED"},
                      TLinkCase{"connecting", TLinkState::Other, "CONNECTING"},
                      TLinkCase{"", TLinkState::Unknown, ""}));

} // namespace
} // namespace m845
