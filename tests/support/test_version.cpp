#include "support/version.h"

#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace m845 {
namespace {

using namespace std::string_literals;

TEST(ProgramVersionText, ShowsMajorMinorReleaseOfTheBuild)
{
    EXPECT_EQ(ProgramVersionText(), "1.0.1");
}

struct VersionCase
{
    std::string text;
    std::int64_t number;
};

class VersionNumberTest : public testing::TestWithParam<VersionCase>
{
};

TEST_P(VersionNumberTest, GivesTwoDigitsPerLevel)
{
    EXPECT_EQ(VersionNumber(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, VersionNumberTest,
    testing::Values(VersionCase{"V1.0.5", 10005}, VersionCase{"v1.0.5", 10005},
                    VersionCase{"1.0.5", 10005}, VersionCase{"V 1 . 0 . 5", 10005},
                    VersionCase{"1.0.5\r\n", 10005}, VersionCase{"\r\nV1.0.5\r\n", 10005},
                    VersionCase{"2.1.0", 20100}, VersionCase{"V2.10.3", 21003},
                    VersionCase{"1.2", 102}, VersionCase{"5", 5}, VersionCase{"1..5", 105},
                    VersionCase{"1.100.0", 20000}, VersionCase{"", 0}, VersionCase{"V", 0},
                    VersionCase{"...", 0}, VersionCase{"v1.V0.v5", 10005},
                    VersionCase{"1.0.5a", -1}, VersionCase{"1.x.5", -1}, VersionCase{"-1.0", -1},
                    VersionCase{"1.-0", 100}, VersionCase{"+1.2", 102}, VersionCase{"1V.0", -1},
                    VersionCase{"1.0\t", -1}, VersionCase{"1\0.2"s, -1},
                    // Larger than a 64-bit integer.
                    VersionCase{"99999999999999999999", -1}));

TEST(VersionNumber, KeepsAtMostFifteenSignificantDigits)
{
    EXPECT_EQ(VersionNumber("99.99.99.99.99.99.99"), 99999999999999);
    EXPECT_EQ(VersionNumber("99.99.99.99.99.99.99.99"), -1);
    EXPECT_EQ(VersionNumber("999999999999999"), 999999999999999);
    EXPECT_EQ(VersionNumber("1000000000000000"), -1);
    EXPECT_EQ(VersionNumber("9.99.99.99.99.99.99.99"), 999999999999999);
    EXPECT_EQ(VersionNumber("10.0.0.0.0.0.0.0"), -1);
    // The largest part alone is far above the limit; it must not wrap round.
    EXPECT_EQ(VersionNumber("9223372036854775807"), -1);
    EXPECT_EQ(VersionNumber("9223372036854775807.99"), -1);
}

TEST(VersionNumber, ManyPartsNeitherOverflowNorMisread)
{
    std::string zeros;
    std::string ones;
    for (int i = 0; i < 3000; ++i) {
        zeros += "0.";
        ones += "1.";
    }
    EXPECT_EQ(VersionNumber(zeros + "7"), 7);
    EXPECT_EQ(VersionNumber(ones), -1);
}

TEST(VersionNumber, ArbitraryBytesGiveANumberOrMinusOne)
{
    static constexpr std::string_view kInteresting = "0123456789..vV \r\n-+x";
    std::mt19937 rng(7105);
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> interesting(0, kInteresting.size() - 1);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int n = length(rng);
        for (int i = 0; i < n; ++i) {
            text += pick(rng) == 0 ? static_cast<char>(anyByte(rng))
                                   : kInteresting[interesting(rng)];
        }
        const std::int64_t number = VersionNumber(text);
        EXPECT_GE(number, -1);
        EXPECT_LT(number, 1'000'000'000'000'000);
    }
}

} // namespace
} // namespace m845
