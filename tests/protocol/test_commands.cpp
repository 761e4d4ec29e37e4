#include "protocol/commands.h"

#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace m845 {
namespace {

using namespace std::string_literals;

// The device's order, written out independently of the code's table.
constexpr std::string_view kWireNames
    = "H E Z VER HDVER ENTM SN ICCID MEID IMEI STMSG RELD CLEAR CFGTF WKMOD CMDPW UART RFCEN "
      "UARTFT "
      "UARTFL APN SOCKA SOCKB SOCKAEN SOCKBEN SOCKASL SOCKBSL SOCKALK SOCKBLK SOCKATO SOCKBTO "
      "SOCKC "
      "SOCKD SOCKCEN SOCKDEN SOCKCSL SOCKDSL SOCKCLK SOCKDLK SOCKCTO SOCKDTO SOCKRSTIM SOCKIND "
      "REGEN "
      "REGTP REGDT REGSND HEARTEN HEARTDT HEARTSND HEARTTM HTPTP HTPURL HTPSV HTPHD HTPTO HTPFLT "
      "DSTNUM SMSFLT SMSPH CLOUD CSQ ID RSTIM";

std::vector<std::string> WireNames()
{
    std::istringstream stream{std::string(kWireNames)};
    std::vector<std::string> names;
    for (std::string name; stream >> name;) {
        names.push_back(name);
    }
    return names;
}

std::string Lower(std::string text)
{
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::vector<std::string> QueueEntries()
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(QueueCount()));
    for (int i = 0; i < QueueCount(); ++i) {
        entries.push_back(QueueEntry(i));
    }
    return entries;
}

class CommandQueue : public testing::Test
{
protected:
    void SetUp() override { QueueClear(); }
    void TearDown() override { QueueClear(); }
};

TEST(CommandVocabulary, EveryOrdinalHasItsWireNameBothWays)
{
    const std::vector<std::string> names = WireNames();
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kCmdCount));
    for (int ordinal = 0; ordinal < kCmdCount; ++ordinal) {
        const auto cmd = static_cast<TCmd>(ordinal);
        const std::string &name = names[static_cast<std::size_t>(ordinal)];
        EXPECT_EQ(CmdName(cmd), name) << ordinal;
        EXPECT_EQ(CmdOfName(name), cmd) << name;
        EXPECT_EQ(CmdOfName(Lower(name)), cmd) << name;
    }
    EXPECT_EQ(CmdName(static_cast<TCmd>(14)), "WKMOD");
    EXPECT_EQ(sizeof(TCmd), 1U);
}

TEST(CommandVocabulary, UnknownTextsGiveNoCommand)
{
    EXPECT_EQ(CmdOfName("Wkmod"), TCmd::WKMOD);
    for (const std::string_view text :
         {"SMSEND", "REBOOT", "", "WKMOD ", " WKMOD", "WKMO", "WKMODE", "AT+WKMOD", "+++", "a"}) {
        EXPECT_EQ(CmdOfName(text), kNoCmd) << text;
    }
    EXPECT_GT(static_cast<int>(kNoCmd), 63);
    EXPECT_EQ(CmdName(kNoCmd), "");
}

TEST(CommandVocabulary, ArbitraryBytesFindOnlyMatchingNames)
{
    static constexpr std::string_view kLetters = "HEZVRDNTSICMOLAPUWFGKBYQhezvr";
    std::mt19937 rng(1101);
    std::uniform_int_distribution<int> length(0, 10);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> letter(0, kLetters.size() - 1);
    int found = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int n = length(rng);
        for (int i = 0; i < n; ++i) {
            text += pick(rng) == 0 ? static_cast<char>(anyByte(rng)) : kLetters[letter(rng)];
        }
        const TCmd cmd = CmdOfName(text);
        if (cmd == kNoCmd) {
            continue;
        }
        ++found;
        ASSERT_LT(static_cast<int>(cmd), kCmdCount);
        std::string upper = text;
        for (char &c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(CmdName(cmd), upper);
    }
    EXPECT_GT(found, 0);
}

TEST_F(CommandQueue, LinesGoOnTheWireExactlyAsBuilt)
{
    QueueAdd("+++");
    QueueAdd("a");
    QueueAddQuery(TCmd::VER);
    QueueAddSet(TCmd::APN, "");
    QueueAddSet("APN", "");
    QueueAddSet(TCmd::SOCKA, " TCP,\"host\",80 ");
    QueueAddSet("SMSEND", "13800138000,hi");
    QueueAddAt("REBOOT");
    EXPECT_EQ(QueueEntries(),
              (std::vector<std::string>{"+++", "a", "AT+VER?\r\n", "AT+APN=\r\n", "AT+APN=\r\n",
                                        "AT+SOCKA= TCP,\"host\",80 \r\n",
                                        "AT+SMSEND=13800138000,hi\r\n", "AT+REBOOT\r\n"}));
    EXPECT_EQ(QueueCount(), 8);
}

TEST_F(CommandQueue, SetLinesCarryValuesUnaltered)
{
    const std::string value = "a\r\nb\0c[0D][0A]\xff"s;
    QueueAddSet(TCmd::HTPHD, value);
    EXPECT_EQ(QueueEntry(0), "AT+HTPHD=" + value + "\r\n");
}

TEST_F(CommandQueue, EntriesPastTheEndAreEmpty)
{
    EXPECT_EQ(QueueEntry(0), "");
    QueueAddQuery(TCmd::CSQ);
    EXPECT_EQ(QueueEntry(QueueCount()), "");
    EXPECT_EQ(QueueEntry(QueueCount() + 100), "");
    EXPECT_EQ(QueueEntry(-1), "");
}

TEST_F(CommandQueue, ClearEmptiesAndResetsTheCursor)
{
    QueueClear();
    EXPECT_EQ(QueueCount(), 0);
    EXPECT_EQ(QueueCursor, 0);
    QueueAddQuery(TCmd::VER);
    QueueAddQuery(TCmd::E);
    QueueCursor = 2;
    QueueClear();
    EXPECT_EQ(QueueCount(), 0);
    EXPECT_EQ(QueueCursor, 0);
}

struct EntryPairCase
{
    const char *name;
    std::vector<std::string> before;
    int cursor;
    std::vector<std::string> after;
};

class EntryPairTest : public testing::TestWithParam<EntryPairCase>
{
protected:
    void SetUp() override { QueueClear(); }
    void TearDown() override { QueueClear(); }
};

TEST_P(EntryPairTest, LeavesPlusPlusPlusThenAAtTheCursor)
{
    for (const std::string &entry : GetParam().before) {
        QueueAdd(entry);
    }
    QueueCursor = GetParam().cursor;
    QueueInsertEntryPair();
    EXPECT_EQ(QueueEntries(), GetParam().after);
    EXPECT_EQ(QueueCursor, GetParam().cursor);
}

const std::string kVer = "AT+VER?\r\n";
const std::string kE = "AT+E?\r\n";
const std::string kSn = "AT+SN?\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryPairTest,
    testing::Values(
        EntryPairCase{"OnlyQuery", {kVer}, 0, {"+++", "a", kVer}},
        EntryPairCase{"MidQueue", {kVer, kE, kSn}, 1, {kVer, "+++", "a", kE, kSn}},
        EntryPairCase{
            "FirstStepAnswered", {kVer, "+++", "a", kE}, 2, {kVer, "+++", "+++", "a", kE}},
        EntryPairCase{"AlreadyThere", {kVer, "+++", "a", kE}, 1, {kVer, "+++", "a", kE}},
        EntryPairCase{"CursorAtCount", {kVer, kE}, 2, {kVer, kE, "+++", "a"}},
        EntryPairCase{"EmptyQueue", {}, 0, {"+++", "a"}},
        EntryPairCase{"FirstStepAtEnd", {kVer, "+++"}, 1, {kVer, "+++", "a"}},
        EntryPairCase{"FirstStepWithoutSecond", {"+++", kVer}, 0, {"+++", "a", kVer}},
        // Only exact entries count: a "+++" line with a line end is something else.
        EntryPairCase{"InexactEntries", {"+++\r\n", "A"}, 0, {"+++", "a", "+++\r\n", "A"}},
        // A cursor past the end must not write outside the list.
        EntryPairCase{"CursorPastEnd", {kVer}, 5, {kVer, "+++", "a"}}),
    [](const testing::TestParamInfo<EntryPairCase> &info) { return std::string(info.param.name); });

TEST_F(CommandQueue, InsertingTwiceAddsNothingMore)
{
    QueueAddQuery(TCmd::VER);
    QueueInsertEntryPair();
    QueueInsertEntryPair();
    EXPECT_EQ(QueueEntries(), (std::vector<std::string>{"+++", "a", kVer}));
}

} // namespace
} // namespace m845
