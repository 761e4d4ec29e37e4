// The terminal's lists without a window: the history's order and limits, stepping through it,
// and the configuration file's form of both lists, with the entries it must skip.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/inifile.h"
#include "ui/terminal/terminallists.h"

namespace m845 {
namespace {

std::vector<std::string> Texts(const TCommandHistory &history)
{
    std::vector<std::string> texts;
    for (const TSentText &entry : history.Entries())
        texts.push_back(entry.text + (entry.hex ? " [hex]" : ""));
    return texts;
}

TEST(CommandHistory, NewestFirstNoRepeatInARowTheLastHundred)
{
    TCommandHistory history;
    EXPECT_TRUE(history.Add({"AT+CSQ", false}));
    EXPECT_FALSE(history.Add({"AT+CSQ", false})) << "twice in a row";
    EXPECT_TRUE(history.Add({"41 54", true}));
    EXPECT_TRUE(history.Add({"AT+CSQ", false})) << "again, but not in a row";
    EXPECT_TRUE(history.Add({"41 54", false})) << "the same text without its hex flag differs";
    EXPECT_FALSE(history.Add({" \n ", false}));
    EXPECT_FALSE(history.Add({std::string(kEntryTextLimit + 1, 'x'), false}));
    EXPECT_FALSE(history.Add({"4G", true})) << "hex that cannot be sent";
    EXPECT_EQ(Texts(history),
              (std::vector<std::string>{"41 54", "AT+CSQ", "41 54 [hex]", "AT+CSQ"}));

    for (int i = 0; i < 120; ++i)
        static_cast<void>(history.Add({"cmd" + std::to_string(i), false}));
    ASSERT_EQ(history.Entries().size(), kHistoryLimit);
    EXPECT_EQ(history.Entries().front().text, "cmd119");
    EXPECT_EQ(history.Entries().back().text, "cmd20");
}

TEST(CommandHistory, StepsBackAndForthAndGivesTheDraftBack)
{
    TCommandHistory history;
    for (const char *text : {"one", "two", "three"})
        static_cast<void>(history.Add({text, false}));
    const TSentText draft{"half typed", false};
    EXPECT_FALSE(history.Newer().has_value()) << "nothing newer than the draft";
    EXPECT_EQ(history.Older(draft)->text, "three");
    EXPECT_EQ(history.Older(draft)->text, "two");
    EXPECT_EQ(history.Older(draft)->text, "one");
    EXPECT_FALSE(history.Older(draft).has_value()) << "stops at the oldest";
    EXPECT_EQ(history.Newer()->text, "two");
    EXPECT_EQ(history.Newer()->text, "three");
    EXPECT_EQ(history.Newer().value(), draft);
    EXPECT_FALSE(history.Newer().has_value());
    // A send starts again from the draft.
    static_cast<void>(history.Older(draft));
    static_cast<void>(history.Add({"four", false}));
    EXPECT_EQ(history.Older({"", false})->text, "four");
}

TEST(EntryForm, EscapesWhatTheFileWouldLose)
{
    const std::vector<std::pair<std::string, std::string>> table{
        {"AT+CSQ", "AT+CSQ"},
        {" lead and trail ", "\\x20lead and trail\\x20"},
        {"two\nlines\r\tand \\", "two\\nlines\\r\\tand \\\\"},
        {std::string("nul\0bel\x07", 8), "nul\\x00bel\\x07"},
        {"\xE4\xBD\xA0\xE5\xA5\xBD=;[x]", "\xE4\xBD\xA0\xE5\xA5\xBD=;[x]"},
    };
    for (const auto &[text, stored] : table) {
        EXPECT_EQ(EscapeEntry(text), stored);
        std::string back;
        ASSERT_TRUE(UnescapeEntry(stored, back)) << stored;
        EXPECT_EQ(back, text);
    }
    std::string unused;
    for (const char *broken : {"end\\", "\\q", "\\x4", "\\xZZ"})
        EXPECT_FALSE(UnescapeEntry(broken, unused)) << broken;
}

TEST(EntryForm, HistoryAndQuickCommandsSurviveTheFile)
{
    TCommandHistory history;
    for (const TSentText &entry : {TSentText{"AT+VER?", false}, TSentText{"41 54\n0D 0A", true},
                                   TSentText{" spaced ", false}})
        static_cast<void>(history.Add(entry));
    const std::vector<TQuickCommand> commands{{"Signal", "AT+CSQ", false, true},
                                              {"Raw", "2B 2B 2B", true, false},
                                              {"", "a", false, false}};
    TIniFile ini("[History]\nText150=stale\n[QuickCommands]\nCount=9\nText9=stale\n");
    SaveHistory(ini, history);
    SaveQuickCommands(ini, commands);

    const TIniFile reread(ini.Text());
    std::vector<TSkippedEntry> skipped;
    EXPECT_EQ(LoadHistory(reread, skipped).Entries(), history.Entries());
    const auto loaded = LoadQuickCommands(reread, skipped);
    ASSERT_TRUE(loaded.has_value());
    std::vector<TQuickCommand> named = commands;
    named[2].name = "a"; // a command without a name shows its text
    EXPECT_EQ(*loaded, named);
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(ini.Text().find("stale"), std::string::npos) << "a longer list left nothing behind";
}

TEST(EntryForm, BadEntriesAreSkippedAndTheRestKept)
{
    const std::string tooLong(kIniValueMax + 10, 'x');
    const TIniFile ini("[History]\n"
                       "Text1=AT+CSQ\n"
                       "Text2="
                       + tooLong
                       + "\n"
                         "Text3=\xC4\xE3\xBA\xC3\n"
                         "Text4=4G 00\nHex4=1\n"
                         "Text5=broken\\q\n"
                         "Text6=AT+VER?\nHex6=yes\n"
                         "Text7=41 54\nHex7=1\n"
                         "Text8="
                       + std::string(kEntryTextLimit + 1, 'y')
                       + "\n"
                         "[QuickCommands]\n"
                         "Count=4\n"
                         "Name1=Signal\nText1=AT+CSQ\n"
                         "Name2=Bad\nText2=GG\nHex2=1\n"
                         "Name3=NoText\n"
                         "Name4="
                       + std::string(kQuickNameLimit + 1, 'n') + "\nText4=AT\n");
    std::vector<TSkippedEntry> skipped;
    const TCommandHistory history = LoadHistory(ini, skipped);
    EXPECT_EQ(Texts(history), (std::vector<std::string>{"AT+CSQ", "41 54 [hex]"}))
        << "1 is the newest";
    const auto commands = LoadQuickCommands(ini, skipped);
    ASSERT_TRUE(commands.has_value());
    ASSERT_EQ(commands->size(), 1U);
    EXPECT_EQ(commands->front().name, "Signal");

    std::vector<std::string> seen;
    for (const TSkippedEntry &s : skipped)
        seen.push_back(s.section + "." + s.key + ":" + std::to_string(static_cast<int>(s.fault)));
    const auto id = [](const char *where, TEntryFault fault) {
        return std::string(where) + ":" + std::to_string(static_cast<int>(fault));
    };
    EXPECT_EQ(seen, (std::vector<std::string>{
                        id("History.Text2", TEntryFault::TooLong),
                        id("History.Text3", TEntryFault::NotUtf8),
                        id("History.Text4", TEntryFault::NotHex),
                        id("History.Text5", TEntryFault::Malformed),
                        id("History.Text6", TEntryFault::Malformed),
                        id("History.Text8", TEntryFault::TooLong),
                        id("QuickCommands.Text2", TEntryFault::NotHex),
                        id("QuickCommands.Text3", TEntryFault::Malformed),
                        id("QuickCommands.Name4", TEntryFault::TooLong),
                    }));
}

TEST(EntryForm, AFirstStartHasNoListAndAnEmptyOneStaysEmpty)
{
    std::vector<TSkippedEntry> skipped;
    EXPECT_FALSE(LoadQuickCommands(TIniFile("[Base]\nx=1\n"), skipped).has_value());
    const auto empty = LoadQuickCommands(TIniFile("[QuickCommands]\nCount=0\n"), skipped);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_TRUE(LoadHistory(TIniFile(), skipped).Entries().empty());
    EXPECT_TRUE(skipped.empty());
}

} // namespace
} // namespace m845
