#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "support/encoding.h"

namespace m845 {
namespace {

struct GbkCase
{
    const char *name;
    std::string utf8;
    std::string gbk;
};

void PrintTo(const GbkCase &c, std::ostream *os)
{
    *os << c.name;
}

class GbkBothWays : public testing::TestWithParam<GbkCase>
{
};

TEST_P(GbkBothWays, ConvertsExactly)
{
    EXPECT_EQ(Utf8ToGbk(GetParam().utf8), GetParam().gbk);
    EXPECT_EQ(GbkToUtf8(GetParam().gbk), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encoding, GbkBothWays,
    testing::Values(GbkCase{"Empty", "", ""}, GbkCase{"Ascii", "AT+VER?\r\n", "AT+VER?\r\n"},
                    GbkCase{"Chinese", "中文", "\xD6\xD0\xCE\xC4"},
                    GbkCase{"FullWidthComma", "，", "\xA3\xAC"}, GbkCase{"Euro", "€", "\x80"},
                    GbkCase{"TrailByteIsPipe", "皘|", "\xB0\x7C|"},
                    GbkCase{"Nul", std::string("a\0b", 3), std::string("a\0b", 3)}),
    [](const testing::TestParamInfo<GbkCase> &info) { return std::string(info.param.name); });

TEST(GbkToUtf8, MarksEachBadByteAndKeepsWhatFollows)
{
    const std::string mark = "\xEF\xBF\xBD";
    EXPECT_EQ(GbkToUtf8("A\xFF"
                        "B"),
              "A" + mark + "B");
    EXPECT_EQ(GbkToUtf8("\x81\r\n"), mark + "\r\n"); // lead byte before a line end
    EXPECT_EQ(GbkToUtf8("ok\xD6"), "ok" + mark);     // cut off at the end
    EXPECT_EQ(GbkToUtf8("\xFF\xFF\xD6\xD0"), mark + mark + "中");
}

TEST(Utf8ToGbk, UnrepresentableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              "a?b");                          // emoji: one '?'
    EXPECT_EQ(Utf8ToGbk("\xE0\xB8\x81"), "?"); // Thai letter
    EXPECT_EQ(Utf8ToGbk("x\xC3"), "x?");       // truncated
    EXPECT_EQ(Utf8ToGbk("\xC0\xAF"
                        "z"),
              "??z"); // overlong, byte by byte
    EXPECT_EQ(Utf8ToGbk("中\xFF文"), "\xD6\xD0?\xCE\xC4");
}

struct Utf8Case
{
    const char *name;
    std::string text;
    bool valid;
};

void PrintTo(const Utf8Case &c, std::ostream *os)
{
    *os << c.name;
}

class Utf8Validity : public testing::TestWithParam<Utf8Case>
{
};

TEST_P(Utf8Validity, Checks)
{
    EXPECT_EQ(IsValidUtf8(GetParam().text), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Encoding, Utf8Validity,
    testing::Values(
        Utf8Case{"Empty", "", true}, Utf8Case{"Ascii", "abc", true},
        Utf8Case{"Chinese", "中文", true}, Utf8Case{"Emoji", "\xF0\x9F\x98\x80", true},
        Utf8Case{"MaxCodePoint", "\xF4\x8F\xBF\xBF", true}, Utf8Case{"Overlong", "\xC0\xAF", false},
        Utf8Case{"OverlongThree", "\xE0\x80\xAF", false},
        Utf8Case{"Surrogate", "\xED\xA0\x80", false},
        Utf8Case{"BeyondMax", "\xF4\x90\x80\x80", false}, Utf8Case{"Truncated", "\xE4\xB8", false},
        Utf8Case{"LoneContinuation", "\x80", false}, Utf8Case{"GbkBytes", "\xD6\xD0", false}),
    [](const testing::TestParamInfo<Utf8Case> &info) { return std::string(info.param.name); });

TEST(Encoding, EscapeControlsShowsWhatATerminalWouldObey)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\x1B[2J+VER:1", "\\x1B[2J+VER:1"},
        {"\x1B]0;x\x07\x01\x08\x0B\x0C\x1F", "\\x1B]0;x\\x07\\x01\\x08\\x0B\\x0C\\x1F"},
        {std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
        {"a\tb\r\nc\n", "a\tb\r\nc\n"}, // the callers split the lines
        {"中文 € \xF0\x9F\x98\x80 \xE2\x90\x80 \xC2\xA0 a\\b",
         "中文 € \xF0\x9F\x98\x80 \xE2\x90\x80 \xC2\xA0 a\\b"},
        {"\xC2\x9B[2J\xC2\x85", "\\xC2\\x9B[2J\\xC2\\x85"},               // C1, by their bytes
        {"\xFF\x80\xC0\xAFz\xE4\xB8", "\\xFF\\x80\\xC0\\xAFz\\xE4\\xB8"}, // no UTF-8
    };
    for (const auto &[text, shown] : cases)
        EXPECT_EQ(EscapeControls(text), shown);
}

TEST(Encoding, ArbitraryBytesGiveValidUtf8AndNoCrash)
{
    std::mt19937 random(936);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 600), '\0');
        for (char &c : bytes)
            c = static_cast<char>(random() % 256);
        const std::string utf8 = GbkToUtf8(bytes);
        EXPECT_TRUE(IsValidUtf8(utf8));
        // Nothing is dropped: every GBK byte gives at least one UTF-8 byte.
        EXPECT_GE(utf8.size(), bytes.size());
        const std::string back = Utf8ToGbk(bytes);
        EXPECT_LE(back.size(), bytes.size() * 2);
    }
}

} // namespace
} // namespace m845
