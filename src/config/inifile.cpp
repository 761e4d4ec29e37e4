#include "config/inifile.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Up to the limit in characters: code points of UTF-8 text, bytes of 8-bit text (a file of the
// GBK era). Counted in bytes, a long value of an 8-bit file, written back in UTF-8 (three bytes
// for a Chinese character instead of two), would lose its end at the next start.
std::string Limited(std::string value)
{
    if (value.size() <= kIniValueMax)
        return value;
    std::size_t cut = kIniValueMax;
    if (IsValidUtf8(value)) {
        std::size_t characters = 0;
        for (cut = 0; cut < value.size(); ++cut) {
            if (!IsContinuation(value[cut]) && characters++ == kIniValueMax)
                break;
        }
    }
    value.resize(cut);
    return value;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseIniInteger(std::string_view text, int &out)
{
    text = Trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = text.substr(2);
        if (digits.size() > 8)
            return false;
        std::uint32_t value = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value * 16 + static_cast<std::uint32_t>(d);
        }
        // 0xFFFFFFFF is -1, as a 32-bit profile integer reads it.
        out = static_cast<int>(value);
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > std::int64_t{std::numeric_limits<int>::max()} + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return false;
    out = static_cast<int>(value);
    return true;
}

TIniFile::TIniFile(std::string_view text)
{
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.remove_prefix(kUtf8Bom.size());
    const auto firstBreak = text.find('\n');
    m_crlf = firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
    m_lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_lines.push_back(Parse(std::string(line)));
    }
    IndexSections();
}

void TIniFile::IndexSections()
{
    m_sections.clear();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == TKind::Section)
            m_sections.push_back(i);
    }
}

void TIniFile::InsertLine(std::size_t at, TLine line)
{
    const bool section = line.kind == TKind::Section;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    auto later = std::lower_bound(m_sections.begin(), m_sections.end(), at);
    for (auto it = later; it != m_sections.end(); ++it)
        ++*it;
    if (section)
        m_sections.insert(later, at);
}

void TIniFile::ReplaceLine(std::size_t at, TLine line)
{
    const bool wasSection = m_lines[at].kind == TKind::Section;
    m_lines[at] = std::move(line);
    if (wasSection != (m_lines[at].kind == TKind::Section))
        IndexSections();
}

void TIniFile::EraseLine(std::size_t at)
{
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(at));
    auto later = std::lower_bound(m_sections.begin(), m_sections.end(), at);
    if (later != m_sections.end() && *later == at)
        later = m_sections.erase(later);
    for (auto it = later; it != m_sections.end(); ++it)
        --*it;
}

TIniFile::TLine TIniFile::Parse(std::string raw)
{
    TLine line;
    const std::string_view text = Trimmed(raw);
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        line.kind = TKind::Section;
        line.name = std::string(Trimmed(
            text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    } else if (const auto eq = text.find('=');
               !text.empty() && text.front() != ';' && eq != std::string_view::npos && eq > 0) {
        line.kind = TKind::Entry;
        line.name = std::string(Trimmed(text.substr(0, eq)));
        line.value = std::string(Trimmed(text.substr(eq + 1)));
        if (line.name.empty())
            line.kind = TKind::Other;
    }
    line.raw = std::move(raw);
    return line;
}

std::size_t TIniFile::FindSection(std::string_view section) const
{
    for (const std::size_t header : m_sections) {
        if (EqualsNoCase(m_lines[header].name, section))
            return header;
    }
    return std::string::npos;
}

std::size_t TIniFile::SectionEnd(std::size_t header) const
{
    const auto next = std::upper_bound(m_sections.begin(), m_sections.end(), header);
    return next == m_sections.end() ? m_lines.size() : *next;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const
{
    const std::size_t header = FindSection(section);
    if (header == std::string::npos)
        return std::nullopt;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == TKind::Entry && EqualsNoCase(m_lines[i].name, key)) {
            const std::string &value = m_lines[i].value;
            if (value.size() <= kIniValueMax)
                return value; // trimmed when the line was read
            // Trimmed once more: a cut inside the value can end it in blanks, which a save
            // would write and the next start would trim away.
            const std::string cut = Limited(value);
            return std::string(Trimmed(cut));
        }
    }
    return std::nullopt;
}

bool TIniFile::RemoveKey(std::string_view section, std::string_view key)
{
    const std::size_t header = FindSection(section);
    if (header == std::string::npos)
        return false;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == TKind::Entry && EqualsNoCase(m_lines[i].name, key)) {
            EraseLine(i);
            return true;
        }
    }
    return false;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const
{
    auto value = Value(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    int number = 0;
    const auto value = Value(section, key);
    return value && ParseIniInteger(*value, number) ? number : fallback;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string clean(value);
    std::replace(clean.begin(), clean.end(), '\r', ' ');
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        InsertLine(m_lines.size(), Parse("[" + std::string(section) + "]"));
        InsertLine(m_lines.size(), Parse(std::string(key) + "=" + clean));
        return;
    }
    const std::size_t end = SectionEnd(header);
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < end; ++i) {
        TLine &line = m_lines[i];
        if (line.kind != TKind::Entry)
            continue;
        if (EqualsNoCase(line.name, key)) {
            // The key keeps the spelling the file gave it. A save mostly writes what the file
            // already holds: that line stays as it is.
            std::string raw = line.name + "=" + clean;
            if (raw != line.raw)
                ReplaceLine(i, Parse(std::move(raw)));
            return;
        }
        insertAt = i + 1;
    }
    InsertLine(insertAt, Parse(std::string(key) + "=" + clean));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section)
{
    for (std::size_t header = FindSection(section); header != std::string::npos;
         header = FindSection(section)) {
        const std::size_t end = SectionEnd(header);
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(end));
        IndexSections();
    }
}

std::string TIniFile::Text() const
{
    const std::string_view lineEnd = m_crlf ? "\r\n" : "\n";
    std::string text;
    std::size_t size = 0;
    for (const TLine &line : m_lines)
        size += line.raw.size() + lineEnd.size();
    text.reserve(size);
    for (const TLine &line : m_lines) {
        text += line.raw;
        text += lineEnd;
    }
    return text;
}

} // namespace m845
