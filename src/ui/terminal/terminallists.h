#pragma once

// The terminal's own lists: the history of what the send box sent and the technician's quick
// commands, with the form both take in the configuration file. Plain C++, no window needed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace m845 {

class TIniFile;

// A text as the send box holds it (UTF-8, lines joined by LF), and whether it is hex text.
struct TSentText
{
    std::string text;
    bool hex = false;
    bool operator==(const TSentText &) const = default;
};

inline constexpr std::size_t kHistoryLimit = 100;
inline constexpr std::size_t kQuickCommandLimit = 40;
// Characters of a kept text and of a quick command's name. A longer send (a pasted dump) is no
// command to repeat, and the stored form must stay within the file's value limit.
inline constexpr std::size_t kEntryTextLimit = 500;
inline constexpr std::size_t kQuickNameLimit = 40;

// Code points of UTF-8 text.
[[nodiscard]] std::size_t Utf8Length(std::string_view text);

// Newest first, the last kHistoryLimit texts, never the same one twice in a row.
class TCommandHistory final
{
public:
    // False when the text is not kept: blank, too long, or the same as the newest.
    bool Add(TSentText entry);
    void Clear();
    [[nodiscard]] const std::vector<TSentText> &Entries() const { return m_entries; }

    // Stepping through with Ctrl+Up and Ctrl+Down. Older() first keeps current as the draft;
    // Newer() past the newest gives the draft back. Nothing when there is no step to take.
    [[nodiscard]] std::optional<TSentText> Older(const TSentText &current);
    [[nodiscard]] std::optional<TSentText> Newer();
    // Back to the draft position (after a send, or when the box is filled otherwise).
    void ResetBrowsing() { m_position = -1; }
    [[nodiscard]] int Position() const { return m_position; }

private:
    std::vector<TSentText> m_entries;
    TSentText m_draft;
    int m_position = -1; // -1: the draft, else an index into m_entries
};

struct TQuickCommand
{
    std::string name;
    std::string text;
    bool hex = false;
    bool crlf = true;
    bool operator==(const TQuickCommand &) const = default;
};

// The commands a new configuration starts with.
[[nodiscard]] std::vector<TQuickCommand> DefaultQuickCommands();

// Why a stored entry could not be used.
enum class TEntryFault : std::uint8_t { TooLong, NotUtf8, NotHex, Malformed };

struct TSkippedEntry
{
    std::string section;
    std::string key;
    TEntryFault fault = TEntryFault::Malformed;
};

// Why a text cannot be a history entry or a quick command's text; nothing when it can.
[[nodiscard]] std::optional<TEntryFault> TextFault(const TSentText &entry);

// The configuration file's form: one key per field and entry, numbered from 1, values escaped
// (backslash, \n, \r, \t, \xNN) so that line breaks and outer blanks survive the file.
inline constexpr std::string_view kHistorySection = "History";
inline constexpr std::string_view kQuickSection = "QuickCommands";

[[nodiscard]] std::string EscapeEntry(std::string_view text);
// False for a broken escape.
[[nodiscard]] bool UnescapeEntry(std::string_view stored, std::string &text);

void SaveHistory(TIniFile &ini, const TCommandHistory &history);
// Entries that cannot be used are skipped and reported; the others are kept in their order.
[[nodiscard]] TCommandHistory LoadHistory(const TIniFile &ini, std::vector<TSkippedEntry> &skipped);
void SaveQuickCommands(TIniFile &ini, const std::vector<TQuickCommand> &commands);
// Nothing for a file without the section (a first start: the defaults then); an empty
// section gives an empty list.
[[nodiscard]] std::optional<std::vector<TQuickCommand>>
LoadQuickCommands(const TIniFile &ini, std::vector<TSkippedEntry> &skipped);

} // namespace m845
