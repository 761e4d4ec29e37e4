#include "support/conversions.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace m845 {
namespace {

using namespace std::string_literals;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(HexRendering, BytesAndBuffersGiveUpperCasePairsWithoutSeparator)
{
    const std::vector<std::uint8_t> bytes = {0x06, 0x0D, 0x0A, 0x3E, 0x00, 0xFF, 0xab};
    EXPECT_EQ(BytesToHex(bytes), "060D0A3E00FFAB");
    EXPECT_EQ(BufferToHex(bytes.data(), bytes.size()), "060D0A3E00FFAB");
    EXPECT_EQ(BufferToHex(bytes.data(), 0), "");
    EXPECT_EQ(BytesToHex({}), "");
}

TEST(HexRendering, BytesToTextKeepsZeroBytesAndExactCount)
{
    const std::array<std::uint8_t, 4> bytes = {'O', 0, 'K', 0x80};
    EXPECT_EQ(BytesToText(bytes.data(), 4), "O\0K\x80"s);
    EXPECT_EQ(BytesToText(bytes.data(), 2), "O\0"s);
    EXPECT_EQ(BytesToText(bytes.data(), 0), "");
}

TEST(HexRendering, TextToHexPutsTheSeparatorAfterEveryByte)
{
    EXPECT_EQ(TextToHex("AB", " "), "41 42 ");
    EXPECT_EQ(TextToHex("AB", ""), "4142");
    EXPECT_EQ(TextToHex("R", ""), "52");
    EXPECT_EQ(TextToHex("", " "), "");
    // Bytes above 127 must not sign-extend.
    EXPECT_EQ(TextToHex("\xff\x80\x0d", "-"), "FF-80-0D-");
}

TEST(HexRendering, TextToSpacedHexHasSpacesOnlyBetweenPairs)
{
    EXPECT_EQ(TextToSpacedHex("AB"), "41 42");
    EXPECT_EQ(TextToSpacedHex("A"), "41");
    EXPECT_EQ(TextToSpacedHex(""), "");
    EXPECT_EQ(TextToSpacedHex("\xfe\0"s), "FE 00");
}

struct HexCase
{
    std::string hex;
    std::string text;
};

class HexToTextTest : public testing::TestWithParam<HexCase>
{
};

TEST_P(HexToTextTest, ConvertsOrReturnsInputUnchanged)
{
    EXPECT_EQ(HexToText(GetParam().hex), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, HexToTextTest,
                         testing::Values(HexCase{"4142", "AB"}, HexCase{"414", "A"},
                                         HexCase{"41 42", "41 42"}, HexCase{"", ""},
                                         HexCase{"0d0A", "\r\n"}, HexCase{"4", ""},
                                         HexCase{"ZZ", "ZZ"}, HexCase{"00ff", "\0\xff"s},
                                         // A bad last digit of an odd length is never read.
                                         HexCase{"41Z", "A"},
                                         // An error late in the text discards earlier pairs.
                                         HexCase{"41424G", "41424G"}, HexCase{"+1", "+1"},
                                         HexCase{"-1", "-1"}, HexCase{"0x41", "0x41"}));

struct TryHexCase
{
    std::string hex;
    bool ok;
    std::string text;
};

class TryHexToTextTest : public testing::TestWithParam<TryHexCase>
{
};

TEST_P(TryHexToTextTest, DropsSpacesAndStopsAtTheFirstBadPair)
{
    std::string out = "stale";
    EXPECT_EQ(TryHexToText(GetParam().hex, out), GetParam().ok);
    EXPECT_EQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Examples, TryHexToTextTest,
                         testing::Values(TryHexCase{"41 42", true, "AB"},
                                         TryHexCase{"4142 43", true, "ABC"},
                                         TryHexCase{"414", true, "A"}, TryHexCase{"4G", false, ""},
                                         TryHexCase{" 4 1 ", true, "A"}, TryHexCase{"", true, ""},
                                         TryHexCase{"41 4G 42", false, "A"},
                                         // Only spaces are dropped, not tabs or line ends.
                                         TryHexCase{"41\t42", false, "A"},
                                         TryHexCase{"ff00", true, "\xff\0"s}));

TEST(TextCleaning, RemoveSpacesRemovesOnlyCode32)
{
    EXPECT_EQ(RemoveSpaces(" 138 0013\t8000 "), "1380013\t8000");
    EXPECT_EQ(RemoveSpaces("   "), "");
}

TEST(TextCleaning, RemoveLineBreaksRemovesOnlyCrLfPairs)
{
    EXPECT_EQ(RemoveLineBreaks("a\r\nb\rc"), "ab\rc");
    EXPECT_EQ(RemoveLineBreaks("\n\r"), "\n\r");
    EXPECT_EQ(RemoveLineBreaks("\r\r\n\n"), "\r\n");
    EXPECT_EQ(RemoveLineBreaks("x\r"), "x\r");
}

TEST(CountOccurrences, CountsWithoutOverlapAndResumesBehindPartialMatches)
{
    EXPECT_EQ(CountOccurrences(u"+", u"+++a"), 3);
    EXPECT_EQ(CountOccurrences(u"aa", u"aaaa"), 2);
    EXPECT_EQ(CountOccurrences(u"aa", u"aaa"), 1);
    EXPECT_EQ(CountOccurrences(u"aab", u"aaab"), 0);
    EXPECT_EQ(CountOccurrences(u"ab", u"xabab"), 2);
    EXPECT_EQ(CountOccurrences(u"abc", u"ab"), 0);
    EXPECT_EQ(CountOccurrences(u"", u"abc"), 0);
    EXPECT_EQ(CountOccurrences(u"\u4e2d", u"\u4e2d+\u4e2d"), 2);

    EXPECT_EQ(CountOccurrences("+", "+VER:+1.0"), 2);
    EXPECT_EQ(CountOccurrences("aa", "aaaa"), 2);
    EXPECT_EQ(CountOccurrences("aab", "aaab"), 0);
    EXPECT_EQ(CountOccurrences("", ""), 0);
    EXPECT_EQ(CountOccurrences("a", ""), 0);
}

struct SplitCase
{
    std::string text;
    std::vector<std::string> items;
};

class SplitCommaTextTest : public testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitCommaTextTest, FollowsTheCommaTextConvention)
{
    EXPECT_EQ(SplitCommaText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SplitCommaTextTest,
    testing::Values(SplitCase{"TCP,host,80", {"TCP", "host", "80"}}, SplitCase{"a b", {"a", "b"}},
                    SplitCase{"a,,b", {"a", "", "b"}}, SplitCase{"a,", {"a", ""}},
                    SplitCase{"   ", {}}, SplitCase{"", {}}, SplitCase{"\"x,y\",z", {"x,y", "z"}},
                    SplitCase{"\"a\"\"b\",c", {"a\"b", "c"}},
                    // A missing closing quote takes the rest of the text.
                    SplitCase{"\"open, end", {"open, end"}}, SplitCase{"\"\"", {""}},
                    SplitCase{",a", {"", "a"}},
                    SplitCase{"\t115200 , 8,1,NONE\r\n", {"115200", "8", "1", "NONE"}},
                    // Blanks after a final comma swallow the empty item.
                    SplitCase{"a, ", {"a"}}, SplitCase{"\"x\"y", {"x", "y"}},
                    // Code 0 and high bytes are ordinary item characters.
                    SplitCase{"a\0b,\xe4\xb8\xad"s, {"a\0b"s, "\xe4\xb8\xad"}}));

TEST(Crc16Xmodem, MatchesCheckValues)
{
    const std::vector<std::uint8_t> digits = Bytes("123456789");
    EXPECT_EQ(Crc16Xmodem(digits.data(), 0, digits.size()), 0x31C3);

    const std::vector<std::uint8_t> pad(128, 0x1A);
    EXPECT_EQ(Crc16Xmodem(pad.data(), 0, pad.size()), 0xF8B0);

    const std::vector<std::uint8_t> zeros(128, 0);
    EXPECT_EQ(Crc16Xmodem(zeros.data(), 0, zeros.size()), 0);

    EXPECT_EQ(Crc16Xmodem(digits.data(), 0, 0), 0);
}

// The sum a bit at a time, as the polynomial defines it: every length and start, so that the
// eight-byte reads and the bytes left after them are both covered.
TEST(Crc16Xmodem, AgreesWithTheBitwiseSumForEveryLengthAndStart)
{
    std::vector<std::uint8_t> data(64);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const auto bitwise = [&data](std::size_t start, std::size_t count) {
        std::uint16_t crc = 0;
        for (std::size_t i = start; i < start + count; ++i) {
            crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<std::uint16_t>((crc & 0x8000U) != 0 ? (crc << 1) ^ 0x1021U
                                                                      : crc << 1);
        }
        return crc;
    };
    for (std::size_t start = 0; start < 8; ++start)
        for (std::size_t count = 0; start + count <= data.size(); ++count)
            EXPECT_EQ(Crc16Xmodem(data.data(), start, count), bitwise(start, count))
                << start << "+" << count;
}

TEST(Crc16Xmodem, CoversOnlyTheGivenRange)
{
    // An XModem block's data sits behind a three-byte header.
    std::vector<std::uint8_t> block = {0x01, 0x01, 0xFE};
    const std::vector<std::uint8_t> digits = Bytes("123456789");
    block.insert(block.end(), digits.begin(), digits.end());
    block.push_back(0x55);
    EXPECT_EQ(Crc16Xmodem(block.data(), 3, digits.size()), 0x31C3);
}

TEST(EqualsNoCase, OnlyTheLettersAToZFoldAndTheLengthsMustAgree)
{
    // Every pair of bytes against the rule itself: '@' and '`', '[' and '{', and bytes above
    // 0x7F differ by the same bit as a letter's cases and must stay different.
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            const auto fold = [](int c) {
                return c >= 'A' && c <= 'Z' ? c + 32 : c;
            };
            const std::string a(1, static_cast<char>(x));
            const std::string b(1, static_cast<char>(y));
            ASSERT_EQ(EqualsNoCase(a, b), fold(x) == fold(y)) << x << " " << y;
        }
    }
    EXPECT_TRUE(EqualsNoCase("OpenUart", "OPENuart"));
    EXPECT_FALSE(EqualsNoCase("Base", "Base "));
    EXPECT_FALSE(EqualsNoCase("", "x"));
    EXPECT_TRUE(EqualsNoCase("", ""));
}

TEST(HdVerSign, NamesRoundTripAndForeignValuesStayLoadable)
{
    const std::array<std::string, 4> names = {"HdUnknown", "HdAlder", "HdBirch", "HdCedar"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto value = static_cast<std::uint8_t>(i);
        EXPECT_EQ(HdVerSignName(value), names[i]);
        EXPECT_EQ(HdVerSignFromName(names[i]), value);
    }
    EXPECT_EQ(HdVerSignFromName("hdbirch"), 2);
    EXPECT_EQ(HdVerSignFromName("HDCEDAR"), 3);
    EXPECT_EQ(HdVerSignFromName(""), 255);
    EXPECT_EQ(HdVerSignFromName("HdBirch "), 255);
    EXPECT_EQ(HdVerSignFromName("HdElm"), 255);
    // 255 comes from a foreign name in the configuration file; it is saved as a member name.
    EXPECT_EQ(HdVerSignName(4), "HdUnknown");
    EXPECT_EQ(HdVerSignName(255), "HdUnknown");
    EXPECT_EQ(HdVerSignFromName(HdVerSignName(255)), 0);
}

// Bytes drawn mostly from the characters the parsers react to, so that every branch is hit.
std::string RandomText(std::mt19937 &rng)
{
    static constexpr std::string_view kInteresting = "0123456789abcdefABCDEFgG ,\"\t\r\n.vV+-";
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> interesting(0, kInteresting.size() - 1);
    std::string text;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
        text += pick(rng) == 0 ? static_cast<char>(anyByte(rng)) : kInteresting[interesting(rng)];
    }
    return text;
}

TEST(ConversionsRobustness, ArbitraryBytesKeepTheContracts)
{
    std::mt19937 rng(20261209);
    for (int round = 0; round < 5000; ++round) {
        const std::string input = RandomText(rng);

        const std::string text = HexToText(input);
        if (text != input) {
            EXPECT_EQ(text.size(), input.size() / 2) << TextToSpacedHex(input);
        }

        std::string out;
        const bool ok = TryHexToText(input, out);
        const std::string compact = RemoveSpaces(input);
        EXPECT_LE(out.size(), compact.size() / 2);
        if (ok) {
            EXPECT_EQ(out.size(), compact.size() / 2);
            EXPECT_EQ(HexToText(TextToHex(out, "")), out);
        }

        for (const std::string &item : SplitCommaText(input)) {
            if (input.find('"') == std::string::npos) {
                EXPECT_EQ(item.find(','), std::string::npos) << TextToSpacedHex(input);
            }
        }

        // Every byte string survives the trip through hexadecimal.
        EXPECT_EQ(HexToText(TextToHex(input, "")), input);
        std::string back;
        EXPECT_TRUE(TryHexToText(TextToSpacedHex(input), back));
        EXPECT_EQ(back, input);
    }
}

} // namespace
} // namespace m845
