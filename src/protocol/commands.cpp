#include "protocol/commands.h"

#include <algorithm>
#include <array>

#include "support/conversions.h"

namespace m845 {

int QueueCursor = 0;

namespace {

// In the order of TCmd; the ordinal is the index.
constexpr std::array<std::string_view, kCmdCount> kCmdNames = {
    "H",       "E",         "Z",       "VER",     "HDVER",   "ENTM",    "SN",      "ICCID",
    "MEID",    "IMEI",      "STMSG",   "RELD",    "CLEAR",   "CFGTF",   "WKMOD",   "CMDPW",
    "UART",    "RFCEN",     "UARTFT",  "UARTFL",  "APN",     "SOCKA",   "SOCKB",   "SOCKAEN",
    "SOCKBEN", "SOCKASL",   "SOCKBSL", "SOCKALK", "SOCKBLK", "SOCKATO", "SOCKBTO", "SOCKC",
    "SOCKD",   "SOCKCEN",   "SOCKDEN", "SOCKCSL", "SOCKDSL", "SOCKCLK", "SOCKDLK", "SOCKCTO",
    "SOCKDTO", "SOCKRSTIM", "SOCKIND", "REGEN",   "REGTP",   "REGDT",   "REGSND",  "HEARTEN",
    "HEARTDT", "HEARTSND",  "HEARTTM", "HTPTP",   "HTPURL",  "HTPSV",   "HTPHD",   "HTPTO",
    "HTPFLT",  "DSTNUM",    "SMSFLT",  "SMSPH",   "CLOUD",   "CSQ",     "ID",      "RSTIM",
};
static_assert(static_cast<int>(TCmd::RSTIM) + 1 == kCmdCount);

constexpr std::string_view kEntryPairFirst = "+++";
constexpr std::string_view kEntryPairSecond = "a";

std::vector<std::string> &Queue()
{
    static std::vector<std::string> queue;
    return queue;
}

// Inserting at the count appends; an index past it (a cursor moved beyond the end) appends too
// rather than writing outside the list.
void InsertAt(std::size_t index, std::string_view text)
{
    auto &queue = Queue();
    index = std::min(index, queue.size());
    queue.insert(queue.begin() + static_cast<std::ptrdiff_t>(index), std::string(text));
}

bool EntryIs(std::size_t index, std::string_view text)
{
    const auto &queue = Queue();
    return index < queue.size() && queue[index] == text;
}

} // namespace

std::string_view CmdName(TCmd cmd)
{
    const auto ordinal = static_cast<std::size_t>(cmd);
    if (ordinal >= kCmdNames.size()) {
        return {};
    }
    return kCmdNames[ordinal];
}

TCmd CmdOfName(std::string_view text)
{
    for (std::size_t i = 0; i < kCmdNames.size(); ++i) {
        if (EqualsNoCase(text, kCmdNames[i])) {
            return static_cast<TCmd>(i);
        }
    }
    return kNoCmd;
}

void QueueClear()
{
    Queue().clear();
    QueueCursor = 0;
}

void QueueAdd(std::string_view text)
{
    Queue().emplace_back(text);
}

void QueueAddAt(std::string_view text)
{
    std::string line;
    line.reserve(3 + text.size() + LineEnd.size());
    line.append("AT+").append(text).append(LineEnd);
    Queue().push_back(std::move(line));
}

void QueueAddQuery(TCmd cmd)
{
    QueueAddAt(std::string(CmdName(cmd)) + '?');
}

void QueueAddSet(TCmd cmd, std::string_view value)
{
    QueueAddSet(CmdName(cmd), value);
}

void QueueAddSet(std::string_view name, std::string_view value)
{
    std::string text;
    text.reserve(name.size() + 1 + value.size());
    text.append(name).append("=").append(value);
    QueueAddAt(text);
}

std::string QueueEntry(int index)
{
    const auto &queue = Queue();
    if (index < 0 || static_cast<std::size_t>(index) >= queue.size()) {
        return {};
    }
    return queue[static_cast<std::size_t>(index)];
}

int QueueCount()
{
    return static_cast<int>(Queue().size());
}

void QueueInsertEntryPair()
{
    // The cursor is never negative by contract; a stray negative one is read as the front.
    const auto cursor = static_cast<std::size_t>(std::max(QueueCursor, 0));
    if (!EntryIs(cursor, kEntryPairFirst)) {
        InsertAt(cursor, kEntryPairFirst);
    }
    if (!EntryIs(cursor + 1, kEntryPairSecond)) {
        InsertAt(cursor + 1, kEntryPairSecond);
    }
}

} // namespace m845
