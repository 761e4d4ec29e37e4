// Reading the language file, look-up precedence, bad files and the system language.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "lang/lang_test_util.h"
#include "lang/langlist.h"
#include "lang/texttable.h"
#include "support/encoding.h"

namespace m845 {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteBytes;

std::vector<TLangEntry> ReadFileBytes(std::string_view bytes)
{
    TempDir dir;
    const std::string path = dir.File("M845Lang.txt");
    WriteBytes(path, bytes);
    TLangList list;
    list.ReadLangFile(path);
    return list.FileEntries();
}

struct LineCase
{
    const char *name;
    std::string line; // UTF-8; written to the file as GBK
    std::optional<TLangEntry> expected;
};

void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << c.name;
}

class LineSplitting : public testing::TestWithParam<LineCase>
{
};

TEST_P(LineSplitting, GivesKeyChineseAndEnglish)
{
    const LineCase &c = GetParam();
    const std::vector<TLangEntry> entries = ReadFileBytes(Utf8ToGbk(c.line) + "\r\n");
    if (!c.expected) {
        EXPECT_TRUE(entries.empty());
        return;
    }
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].key, c.expected->key);
    EXPECT_EQ(entries[0].chinese, c.expected->chinese);
    EXPECT_EQ(entries[0].english, c.expected->english);
}

INSTANTIATE_TEST_SUITE_P(
    LangFile, LineSplitting,
    testing::Values(
        LineCase{"Plain", "lang_btnOpen|打开|Open", TLangEntry{"lang_btnOpen", "打开", "Open"}},
        LineCase{"OnePipe", "key|text", TLangEntry{"key", "", "text"}},
        LineCase{"ThreePipesLoseTheMiddle", "k|a|b|c", TLangEntry{"k", "a", "c"}},
        LineCase{"NoPipe", "no pipe here", TLangEntry{"", "", ""}},
        LineCase{"OneSpace", " ", TLangEntry{"", "", ""}},
        LineCase{"CommaIsNoComment", ",k|a|b", TLangEntry{",k", "a", "b"}},
        LineCase{"SemicolonComment", ";k|a|b", std::nullopt},
        LineCase{"SemicolonNotFirst", " ;k|a|b", TLangEntry{" ;k", "a", "b"}},
        LineCase{"NothingTrimmed", " k | 甲 | b ", TLangEntry{" k ", " 甲 ", " b "}},
        LineCase{"LineBreakMarks", "k|一///二|x///y", TLangEntry{"k", "一\n二", "x\ny"}},
        LineCase{"MarkInKeyStays", "k///z|a|b", TLangEntry{"k///z", "a", "b"}},
        LineCase{"FourSlashes", "k|a////b|", TLangEntry{"k", "a\n/b", ""}},
        LineCase{"EmptyTexts", "k||", TLangEntry{"k", "", ""}},
        // 皘 is B0 7C in GBK: its second byte is '|', which must not split the line.
        LineCase{"GbkTrailByteIsPipe", "k|皘|x", TLangEntry{"k", "皘", "x"}}),
    [](const testing::TestParamInfo<LineCase> &info) { return std::string(info.param.name); });

TEST(LangFileReading, AcceptsCrLfLfAndCrLineEndsAndSkipsEmptyLines)
{
    const auto entries = ReadFileBytes("\r\n\r\na|1|2\rb|3|4\n\n\nc|5|6\r\n;x|y|z\r\nd|7|8");
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[0].key, "a");
    EXPECT_EQ(entries[1].english, "4");
    EXPECT_EQ(entries[2].chinese, "5");
    EXPECT_EQ(entries[3].english, "8"); // a last line without line end counts
}

TEST(LangFileReading, BadBytesAreMarkedAndReadingGoesOn)
{
    const auto entries = ReadFileBytes("k|\xFF\xFE|ok\r\nk2|\x81 |\x80\r\nnext|a|b\r\n");
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].chinese, "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(entries[0].english, "ok");
    // A lead byte without its second byte must not swallow the ASCII after it.
    EXPECT_EQ(entries[1].key, "k2");
    EXPECT_EQ(entries[1].chinese, "\xEF\xBF\xBD ");
    EXPECT_EQ(entries[1].english, "€");
    EXPECT_EQ(entries[2].key, "next");
}

TEST(LangFileReading, SurvivesLongLinesNulBytesAndNoLineEnds)
{
    const std::string longText(100000, 'x');
    const std::string nul("k\0z|a\0b|c", 9);
    const auto entries = ReadFileBytes("long|" + longText + "|e\r\n" + nul + "\r\nlast|y|z");
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].chinese, longText);
    EXPECT_EQ(entries[1].key, std::string("k\0z", 3));
    EXPECT_EQ(entries[1].chinese, std::string("a\0b", 3));
    EXPECT_EQ(entries[2].english, "z");

    const auto single = ReadFileBytes(std::string(100000, 'y'));
    ASSERT_EQ(single.size(), 1U);
    EXPECT_EQ(single[0].key, "");
}

// A file far larger than any language file is read only up to a limit; what came before stays.
TEST(LangFileReading, StopsAtTheSizeLimitKeepingEarlierEntries)
{
    const std::string huge(17U * 1024U * 1024U, 'x');
    const auto entries = ReadFileBytes("first|a|b\r\n" + huge + "\r\nlast|c|d\r\n");
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].key, "first");
}

TEST(LangFileReading, RandomBytesNeverBreakTheList)
{
    std::mt19937 random(845);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 4000), '\0');
        for (char &c : bytes)
            c = static_cast<char>(random() % 256);
        for (const TLangEntry &entry : ReadFileBytes(bytes)) {
            EXPECT_TRUE(IsValidUtf8(entry.key));
            EXPECT_TRUE(IsValidUtf8(entry.chinese));
            EXPECT_TRUE(IsValidUtf8(entry.english));
        }
    }
}

// Root ignores file modes, so an unreadable file is stood in for by a directory: it opens
// but every read fails, as a file without read permission would for a normal user.
TEST(LangFileReading, UnreadableOrMissingFileFallsBackToBuiltInTexts)
{
    TempDir dir;
    TLangList list;
    FillTextTable(list);
    list.ReadLangFile(dir.Path());
    list.ReadLangFile(dir.File("missing.txt"));
    list.ReadLangFile("");
    EXPECT_TRUE(list.FileEntries().empty());
    list.IsChinese = false;
    EXPECT_EQ(list.GetLangText("lang_btnOpen"), "Open PC Serial");

    // Something already at the path is never overwritten, even if it cannot be read.
    TLangList loaded;
    FillTextTable(loaded);
    EXPECT_NO_THROW(loaded.LoadLangFile(dir.Path()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
    loaded.IsChinese = true;
    EXPECT_EQ(loaded.GetLangText("lang_btnOpen"), "打开串口");
}

class LookUp : public testing::Test
{
protected:
    void SetUp() override
    {
        FillTextTable(m_list);
        WriteBytes(m_dir.File("f.txt"), Utf8ToGbk("lang_btnOpen|打开|Open\r\n"
                                                  "lang_btnSend|发出|\r\n"
                                                  "first|X|first-en\r\n"
                                                  "X|x-zh|x-en\r\n"
                                                  "lang_btnOpen|second|Second\r\n"
                                                  "Ω|大|big\r\n"));
        m_list.ReadLangFile(m_dir.File("f.txt"));
    }

    std::string Text(std::string_view key, bool chinese)
    {
        m_list.IsChinese = chinese;
        return m_list.GetLangText(key);
    }

    TempDir m_dir;
    TLangList m_list;
};

TEST_F(LookUp, FileEntryWinsOverBuiltInAndFirstMatchWins)
{
    EXPECT_EQ(Text("lang_btnOpen", false), "Open");
    EXPECT_EQ(Text("lang_btnOpen", true), "打开");
    // An empty file text still wins.
    EXPECT_EQ(Text("lang_btnSend", false), "");
    EXPECT_EQ(Text("lang_btnSend", true), "发出");
    EXPECT_EQ(Text("lang_btnClose", false), "Close PC Serial");
}

TEST_F(LookUp, KeysMatchIgnoringAsciiCaseOnly)
{
    EXPECT_EQ(Text("LANG_BTNOPEN", false), "Open");
    EXPECT_EQ(Text("LANG_BTNCLOSE", true), "关闭串口");
    EXPECT_EQ(Text("Ω", false), "big");
    EXPECT_EQ(Text("ω", false), "ω"); // no case folding beyond ASCII
}

TEST_F(LookUp, AllFileKeysAreSearchedBeforeFileTexts)
{
    // "X" is the Chinese text of entry "first" and the key of the next entry.
    EXPECT_EQ(Text("X", false), "x-en");
    EXPECT_EQ(Text("first-en", true), "X");
}

TEST_F(LookUp, TextsFindTheirCounterpartAndUnknownKeysShowThemselves)
{
    EXPECT_EQ(Text("Transparent Mode", true), " 网络透传模式");
    EXPECT_EQ(Text(" 网络透传模式", false), "Transparent Mode");
    EXPECT_EQ(Text(Text("lang_rbUdc", false), false), "UDC Mode");
    EXPECT_EQ(Text("Open", true), "打开");
    EXPECT_EQ(Text("lang_NoSuchKey", true), "lang_NoSuchKey");
    TLangList empty;
    EXPECT_EQ(empty.GetLangText("anything"), "anything");
}

struct LocaleCase
{
    const char *name;
    std::optional<std::string> language, lcAll, lcMessages, lang;
    bool chinese;
};

void PrintTo(const LocaleCase &c, std::ostream *os)
{
    *os << c.name;
}

class SystemLanguage : public testing::TestWithParam<LocaleCase>
{
};

TEST_P(SystemLanguage, IsChineseWhenTheFirstSetLocaleIsChinese)
{
    const LocaleCase &c = GetParam();
    const ScopedEnv language("LANGUAGE", c.language);
    const ScopedEnv lcAll("LC_ALL", c.lcAll);
    const ScopedEnv lcMessages("LC_MESSAGES", c.lcMessages);
    const ScopedEnv lang("LANG", c.lang);
    EXPECT_EQ(TLangList::SystemIsChinese(), c.chinese);
}

INSTANTIATE_TEST_SUITE_P(
    Locale, SystemLanguage,
    testing::Values(LocaleCase{"NothingSet", {}, {}, {}, {}, false},
                    LocaleCase{"LangChinese", {}, {}, {}, "zh_CN.UTF-8", true},
                    LocaleCase{"LangGbk", {}, {}, {}, "zh_CN.GBK", true},
                    LocaleCase{"LangC", {}, {}, {}, "C.UTF-8", false},
                    LocaleCase{"LanguageListFirstWins", "zh_CN:en_US", {}, {}, "en_US", true},
                    LocaleCase{"LanguageListEnglishFirst", "en_US:zh_CN", {}, {}, "zh_CN", false},
                    LocaleCase{"EmptyLanguageSkipped", "", "zh_TW.UTF-8", {}, "en_US", true},
                    LocaleCase{"LcAllBeforeLang", {}, "en_US.UTF-8", {}, "zh_CN", false},
                    LocaleCase{"LcMessagesBeforeLang", {}, "", "zh_HK", "en_GB", true},
                    LocaleCase{"LcMessagesEnglish", {}, {}, "de_DE", "zh_CN", false}),
    [](const testing::TestParamInfo<LocaleCase> &info) { return std::string(info.param.name); });

TEST(LoadLangFile, TakesTheLanguageFromTheSystem)
{
    const ScopedEnv language("LANGUAGE", std::nullopt);
    const ScopedEnv lcAll("LC_ALL", std::nullopt);
    const ScopedEnv lcMessages("LC_MESSAGES", std::nullopt);
    TempDir dir;
    for (const bool chinese : {true, false}) {
        const ScopedEnv lang("LANG", chinese ? "zh_CN.UTF-8" : "en_US.UTF-8");
        TLangList list;
        list.IsChinese = !chinese;
        list.LoadLangFile(dir.File("M845Lang.txt"));
        EXPECT_EQ(list.IsChinese, chinese);
    }
}

TEST(GlobalLangList, LivesFromInitToRelease)
{
    const ScopedEnv lang("LANG", "en_US.UTF-8");
    const ScopedEnv language("LANGUAGE", std::nullopt);
    const ScopedEnv lcAll("LC_ALL", std::nullopt);
    const ScopedEnv lcMessages("LC_MESSAGES", std::nullopt);
    TempDir dir;
    const ScopedEnv dataDir("M845_DATA_DIR", dir.Path());

    EXPECT_EQ(LangText("lang_btnOpen"), "lang_btnOpen");
    InitLanguage();
    ASSERT_NE(LangList(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.File("M845Lang.txt")));
    EXPECT_EQ(LangText("lang_btnOpen"), "Open PC Serial");
    LangList()->IsChinese = true;
    EXPECT_EQ(LangText("lang_btnOpen"), "打开串口");
    ReleaseLanguage();
    EXPECT_EQ(LangList(), nullptr);
    EXPECT_EQ(LangText("lang_btnOpen"), "lang_btnOpen");

    // A file that cannot be written is reported, not thrown, and the built-in texts (ours
    // beyond the table too) stay usable.
    const TLangFileProblem problem = InitLanguage(dir.File("missing/M845Lang.txt"));
    EXPECT_EQ(problem.path, dir.File("missing/M845Lang.txt"));
    EXPECT_EQ(problem.reason, std::generic_category().message(ENOENT));
    ASSERT_NE(LangList(), nullptr);
    EXPECT_EQ(LangText("lang_btnClose"), "Close PC Serial");
    EXPECT_EQ(LangText("info_ComWhyNotTty"), "Reason: not a serial port");
    EXPECT_EQ(LangFormat("info_LangFileFail", {"/x/M845Lang.txt", "Read-only file system"}),
              "Cannot write the language file /x/M845Lang.txt (Read-only file system); the "
              "built-in texts are used");
    ReleaseLanguage();
}

} // namespace
} // namespace m845
