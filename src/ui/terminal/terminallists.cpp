#include "ui/terminal/terminallists.h"

#include <string>

#include "config/inifile.h"
#include "lang/langlist.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string NumberedKey(std::string_view field, std::size_t number)
{
    return std::string(field) + std::to_string(number);
}

// A stored value as far as the file's reading allows: one that fills the whole limit may have
// been cut, so it counts as too long.
std::optional<TEntryFault> StoredText(const TIniFile &ini, std::string_view section,
                                      const std::string &key, std::string &text)
{
    const std::optional<std::string> stored = ini.Value(section, key);
    if (!stored)
        return TEntryFault::Malformed;
    if (!IsValidUtf8(*stored))
        return TEntryFault::NotUtf8;
    if (Utf8Length(*stored) >= kIniValueMax)
        return TEntryFault::TooLong;
    if (!UnescapeEntry(*stored, text))
        return TEntryFault::Malformed;
    if (!IsValidUtf8(text))
        return TEntryFault::NotUtf8;
    return std::nullopt;
}

// 0 or 1 only: anything else is a hand edit gone wrong, not a flag.
std::optional<bool> StoredFlag(const TIniFile &ini, std::string_view section,
                               const std::string &key, bool fallback)
{
    const std::optional<std::string> stored = ini.Value(section, key);
    if (!stored)
        return fallback;
    if (*stored == "0" || *stored == "1")
        return *stored == "1";
    return std::nullopt;
}

} // namespace

std::size_t Utf8Length(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

std::optional<TEntryFault> TextFault(const TSentText &entry)
{
    if (!IsValidUtf8(entry.text))
        return TEntryFault::NotUtf8;
    if (Utf8Length(entry.text) > kEntryTextLimit)
        return TEntryFault::TooLong;
    if (entry.hex) {
        // As the send box converts it: its lines joined by CR LF.
        std::string lines;
        for (const char c : entry.text)
            lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
        std::string bytes;
        if (!TryHexToText(lines, bytes))
            return TEntryFault::NotHex;
    }
    return std::nullopt;
}

bool TCommandHistory::Add(TSentText entry)
{
    m_position = -1;
    if (entry.text.find_first_not_of(" \t\r\n") == std::string::npos || TextFault(entry))
        return false;
    if (!m_entries.empty() && m_entries.front() == entry)
        return false;
    m_entries.insert(m_entries.begin(), std::move(entry));
    if (m_entries.size() > kHistoryLimit)
        m_entries.resize(kHistoryLimit);
    return true;
}

void TCommandHistory::Clear()
{
    m_entries.clear();
    m_position = -1;
}

std::optional<TSentText> TCommandHistory::Older(const TSentText &current)
{
    if (m_position + 1 >= static_cast<int>(m_entries.size()))
        return std::nullopt;
    if (m_position < 0)
        m_draft = current;
    ++m_position;
    return m_entries[static_cast<std::size_t>(m_position)];
}

std::optional<TSentText> TCommandHistory::Newer()
{
    if (m_position < 0)
        return std::nullopt;
    --m_position;
    if (m_position < 0)
        return m_draft;
    return m_entries[static_cast<std::size_t>(m_position)];
}

std::vector<TQuickCommand> DefaultQuickCommands()
{
    // Queries that change nothing, and the way into command mode and out: "+++" must stand
    // alone on the line, and the device's "a" is answered with "a". Named in the language of
    // the first start; from then on the names are the technician's.
    return {
        {LangText("lang_QuickCsq"), "AT+CSQ", false, true},
        {LangText("lang_QuickVer"), "AT+VER?", false, true},
        {LangText("lang_QuickSockALk"), "AT+SOCKALK?", false, true},
        {"+++", "+++", false, false},
        {"a", "a", false, false},
        {LangText("lang_QuickEntm"), "AT+ENTM", false, true},
    };
}

std::string EscapeEntry(std::string_view text)
{
    std::string stored;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool outerBlank = c == ' ' && (i == 0 || i + 1 == text.size());
        if (c == '\\') {
            stored += "\\\\";
        } else if (c == '\n') {
            stored += "\\n";
        } else if (c == '\r') {
            stored += "\\r";
        } else if (c == '\t') {
            stored += "\\t";
        } else if (c < 0x20 || c == 0x7F || outerBlank) {
            // The file trims blanks around a value and keeps no control bytes.
            stored += "\\x";
            stored += kHexDigits[c >> 4];
            stored += kHexDigits[c & 0x0F];
        } else {
            stored += static_cast<char>(c);
        }
    }
    return stored;
}

bool UnescapeEntry(std::string_view stored, std::string &text)
{
    text.clear();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] != '\\') {
            text += stored[i];
            continue;
        }
        if (++i == stored.size())
            return false;
        switch (stored[i]) {
        case '\\':
            text += '\\';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            if (i + 2 >= stored.size())
                return false;
            const int high = HexValue(stored[i + 1]);
            const int low = HexValue(stored[i + 2]);
            if (high < 0 || low < 0)
                return false;
            text += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

void SaveHistory(TIniFile &ini, const TCommandHistory &history)
{
    ini.EraseSection(kHistorySection);
    const std::vector<TSentText> &entries = history.Entries();
    ini.WriteInteger(kHistorySection, "Count", static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ini.WriteString(kHistorySection, NumberedKey("Text", i + 1), EscapeEntry(entries[i].text));
        ini.WriteBool(kHistorySection, NumberedKey("Hex", i + 1), entries[i].hex);
    }
}

TCommandHistory LoadHistory(const TIniFile &ini, std::vector<TSkippedEntry> &skipped)
{
    // Read oldest first, so that adding keeps the file's order, newest on top.
    std::vector<TSentText> entries;
    for (std::size_t number = 1; number <= kHistoryLimit; ++number) {
        const std::string key = NumberedKey("Text", number);
        if (!ini.Value(kHistorySection, key))
            continue;
        TSentText entry;
        std::optional<TEntryFault> fault = StoredText(ini, kHistorySection, key, entry.text);
        const std::optional<bool> hex
            = StoredFlag(ini, kHistorySection, NumberedKey("Hex", number), false);
        if (!fault && !hex)
            fault = TEntryFault::Malformed;
        if (!fault) {
            entry.hex = *hex;
            fault = entry.text.empty() ? std::optional(TEntryFault::Malformed) : TextFault(entry);
        }
        if (fault) {
            skipped.push_back({std::string(kHistorySection), key, *fault});
            continue;
        }
        entries.push_back(std::move(entry));
    }
    TCommandHistory history;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        static_cast<void>(history.Add(std::move(*it)));
    return history;
}

void SaveQuickCommands(TIniFile &ini, const std::vector<TQuickCommand> &commands)
{
    ini.EraseSection(kQuickSection);
    ini.WriteInteger(kQuickSection, "Count", static_cast<int>(commands.size()));
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const TQuickCommand &c = commands[i];
        ini.WriteString(kQuickSection, NumberedKey("Name", i + 1), EscapeEntry(c.name));
        ini.WriteString(kQuickSection, NumberedKey("Text", i + 1), EscapeEntry(c.text));
        ini.WriteBool(kQuickSection, NumberedKey("Hex", i + 1), c.hex);
        ini.WriteBool(kQuickSection, NumberedKey("CRLF", i + 1), c.crlf);
    }
}

std::optional<std::vector<TQuickCommand>> LoadQuickCommands(const TIniFile &ini,
                                                            std::vector<TSkippedEntry> &skipped)
{
    if (!ini.Value(kQuickSection, "Count"))
        return std::nullopt;
    std::vector<TQuickCommand> commands;
    for (std::size_t number = 1; number <= kQuickCommandLimit; ++number) {
        const std::string textKey = NumberedKey("Text", number);
        const std::string nameKey = NumberedKey("Name", number);
        if (!ini.Value(kQuickSection, textKey) && !ini.Value(kQuickSection, nameKey))
            continue;
        TQuickCommand command;
        std::optional<TEntryFault> fault = StoredText(ini, kQuickSection, textKey, command.text);
        std::string faultKey = textKey;
        if (!fault && ini.Value(kQuickSection, nameKey)) {
            fault = StoredText(ini, kQuickSection, nameKey, command.name);
            if (!fault && Utf8Length(command.name) > kQuickNameLimit)
                fault = TEntryFault::TooLong;
            if (fault)
                faultKey = nameKey;
        }
        const std::optional<bool> hex
            = StoredFlag(ini, kQuickSection, NumberedKey("Hex", number), false);
        const std::optional<bool> crlf
            = StoredFlag(ini, kQuickSection, NumberedKey("CRLF", number), true);
        if (!fault && (!hex || !crlf))
            fault = TEntryFault::Malformed;
        if (!fault) {
            command.hex = *hex;
            command.crlf = *crlf;
            fault = command.text.empty() ? std::optional(TEntryFault::Malformed)
                                         : TextFault({command.text, command.hex});
        }
        if (fault) {
            skipped.push_back({std::string(kQuickSection), faultKey, *fault});
            continue;
        }
        if (command.name.empty())
            command.name = command.text;
        commands.push_back(std::move(command));
    }
    return commands;
}

} // namespace m845
