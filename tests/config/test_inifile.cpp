// The INI layer against the profile semantics the configuration file relies on.

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "config/inifile.h"

namespace m845 {
namespace {

struct TReadCase
{
    const char *what;
    std::string text;
    const char *section;
    const char *key;
    const char *expected; // nullptr: missing, the default is used
};

class IniRead : public testing::TestWithParam<TReadCase>
{
};

TEST_P(IniRead, FindsTheValueAsTheProfileRoutinesWould)
{
    const TReadCase &c = GetParam();
    const auto value = TIniFile(c.text).Value(c.section, c.key);
    if (c.expected == nullptr)
        EXPECT_FALSE(value.has_value()) << *value;
    else
        EXPECT_EQ(value.value_or("<missing>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        TReadCase{"names ignore case", "[base]\nstmsg=hi\n", "Base", "STMSG", "hi"},
        TReadCase{"value trimmed", "[A]\nk =  two words \t\n", "A", "k", "two words"},
        TReadCase{"blanks around names", "  [ A ]  \n  k=1\n", "A", "k", "1"},
        TReadCase{"only the first = splits", "[A]\nk=a=b\n", "A", "k", "a=b"},
        TReadCase{"empty value", "[A]\nk=\n", "A", "k", ""},
        TReadCase{"CR LF lines", "[A]\r\nk=v\r\n[B]\r\nk=w\r\n", "B", "k", "w"},
        TReadCase{"byte order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        TReadCase{"no line end at the end", "[A]\nk=v", "A", "k", "v"},
        TReadCase{"first of two sections", "[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n", "A", "k", "1"},
        TReadCase{"only the first section is searched", "[A]\nk=1\n[a]\nj=3\n", "A", "j", nullptr},
        TReadCase{"first of two keys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        TReadCase{"key of another section", "[A]\nk=1\n[B]\n", "B", "k", nullptr},
        TReadCase{"key before any section", "k=1\n[A]\n", "A", "k", nullptr},
        TReadCase{"line without =", "[A]\nk\n", "A", "k", nullptr},
        TReadCase{"comment", "[A]\n;k=1\n", "A", ";k", nullptr},
        TReadCase{"header without ]", "[A\nk=1\n", "A", "k", "1"},
        TReadCase{"missing section", "[A]\nk=1\n", "B", "k", nullptr},
        TReadCase{"empty file", "", "A", "k", nullptr},
        TReadCase{"binary", std::string("\0\xFF[A]\x01\n\0=\n[A]\nk=\x80\x81\n", 19), "A", "k",
                  "\x80\x81"}));

TEST(IniRead, LongValuesAreCutWithoutSplittingACharacter)
{
    EXPECT_EQ(TIniFile("[A]\nk=" + std::string(100000, 'v')).Value("A", "k")->size(), 2047u);
    // 2046 ASCII bytes, then a three-byte character: the 2047th character, so it stays.
    const std::string value = std::string(2046, 'a') + "\xE4\xB8\xAD" + "tail";
    EXPECT_EQ(*TIniFile("[A]\nk=" + value).Value("A", "k"),
              std::string(2046, 'a') + "\xE4\xB8\xAD");
    // 8-bit text is counted in bytes.
    EXPECT_EQ(TIniFile("[A]\nk=" + std::string(3000, '\xB0')).Value("A", "k")->size(), 2047u);
    // A cut that lands after blanks leaves them out, as the blanks at the end of a line.
    EXPECT_EQ(*TIniFile("[A]\nk=" + std::string(2040, 'a') + std::string(10, ' ') + "b")
                   .Value("A", "k"),
              std::string(2040, 'a'));
}

struct TNumberCase
{
    const char *text;
    int expected; // with the fallback 77
};

class IniNumber : public testing::TestWithParam<TNumberCase>
{
};

TEST_P(IniNumber, ReadsDecimalOrHexElseTheDefault)
{
    const TIniFile ini("[A]\nk=" + std::string(GetParam().text) + "\n");
    EXPECT_EQ(ini.ReadInteger("A", "k", 77), GetParam().expected);
    EXPECT_EQ(ini.ReadBool("A", "k", false), GetParam().expected != 0 && GetParam().expected != 77);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IniNumber,
    testing::Values(TNumberCase{"1", 1}, TNumberCase{"0", 0}, TNumberCase{"2", 2},
                    TNumberCase{"-5", -5}, TNumberCase{"0x1", 1}, TNumberCase{"0X1f", 31},
                    TNumberCase{"0xFFFFFFFF", -1}, TNumberCase{"yes", 77}, TNumberCase{"", 77},
                    TNumberCase{"0x", 77}, TNumberCase{"0x123456789", 77}, TNumberCase{"12abc", 77},
                    TNumberCase{"1.5", 77}, TNumberCase{"-", 77}, TNumberCase{"99999999999", 77},
                    TNumberCase{"2147483647", 2147483647}));

struct TWriteCase
{
    const char *what;
    const char *before;
    const char *section;
    const char *key;
    const char *value;
    const char *after;
};

class IniWrite : public testing::TestWithParam<TWriteCase>
{
};

TEST_P(IniWrite, ChangesOnlyWhatItWrites)
{
    const TWriteCase &c = GetParam();
    TIniFile ini(c.before);
    ini.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ini.Text(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    testing::Values(
        TWriteCase{"new file", "", "A", "k", "v", "[A]\nk=v\n"},
        TWriteCase{"in place, spelling kept", "[a]\n; note\nKey = old \nz=1\n", "A", "KEY", "new",
                   "[a]\n; note\nKey=new\nz=1\n"},
        TWriteCase{"missing key after the section's last", "[A]\nk=1\n\n[B]\nx=2\n", "A", "j", "v",
                   "[A]\nk=1\nj=v\n\n[B]\nx=2\n"},
        TWriteCase{"section without keys", "[A]\n[B]\n", "A", "j", "v", "[A]\nj=v\n[B]\n"},
        TWriteCase{"missing section at the end", "[A]\nk=1\ngarbage\n", "B", "k", "v",
                   "[A]\nk=1\ngarbage\n[B]\nk=v\n"},
        TWriteCase{"first of duplicates", "[A]\nk=1\n[A]\nk=2\n", "a", "k", "3",
                   "[A]\nk=3\n[A]\nk=2\n"},
        TWriteCase{"CR LF kept", "[A]\r\nk=1\r\n", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
        TWriteCase{"a line break cannot make a key", "", "A", "k", "a\r\nEvil=1",
                   "[A]\nk=a  Evil=1\n"}));

// Writes and removals that move the lines after them, and one key that is itself a section
// header: every read afterwards agrees with the same text read afresh.
TEST(IniEdit, ReadsAfterEditsAgreeWithAFreshRead)
{
    TIniFile ini("[A]\nk=1\n[B]\nj=2\n[a]\nk=9\n[C]\nx=3\n");
    ini.WriteString("A", "new", "n");
    ini.WriteString("B", "[D]", "5");
    ini.WriteString("E", "e", "6");
    EXPECT_TRUE(ini.RemoveKey("A", "k"));
    ini.WriteString("C", "y", "4");
    ini.WriteString("D]=5", "d", "7");
    ini.EraseSection("b");
    const TIniFile fresh(ini.Text());
    for (const char *section : {"A", "B", "C", "D", "D]=5", "E", "a"})
        for (const char *key : {"k", "new", "j", "[D]", "x", "y", "d", "e", "D]"})
            EXPECT_EQ(ini.Value(section, key), fresh.Value(section, key)) << section << " " << key;
    EXPECT_EQ(ini.Value("C", "x"), "3");
    EXPECT_EQ(ini.Value("E", "e"), "6");
}

TEST(IniErase, RemovesEverySectionOfTheNameAndNothingElse)
{
    TIniFile ini("top=1\n[A]\nk=1\n; note\n[B]\nx=2\n[a]\nk=3\n");
    ini.EraseSection("A");
    EXPECT_EQ(ini.Text(), "top=1\n[B]\nx=2\n");
    ini.EraseSection("missing");
    EXPECT_EQ(ini.Text(), "top=1\n[B]\nx=2\n");
}

} // namespace
} // namespace m845
