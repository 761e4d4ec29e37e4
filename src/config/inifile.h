#pragma once

// An INI text held in memory with the semantics of the Windows profile routines: section and
// key names compared without case (ASCII), the first of duplicate sections and keys wins,
// values trimmed and read up to 2047 characters. Writing replaces a value in place, appends a
// missing key at the end of its section and a missing section at the end; key=value with no
// blanks and no quoting. Every other line (comments, garbage, unknown keys) is kept as it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace m845 {

inline constexpr std::size_t kIniValueMax = 2047;

class TIniFile final
{
public:
    TIniFile() = default;
    // Lines end at LF; a CR before it is dropped. A file that used CR LF is written with it.
    explicit TIniFile(std::string_view text);

    // The trimmed value, or nothing when the section or key is missing.
    [[nodiscard]] std::optional<std::string> Value(std::string_view section,
                                                   std::string_view key) const;
    [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key,
                                         std::string_view fallback) const;
    // Decimal, or hexadecimal after 0x; anything else gives the fallback.
    [[nodiscard]] int ReadInteger(std::string_view section, std::string_view key,
                                  int fallback) const;
    // Any number but 0 is true; a text that is no number gives the fallback.
    [[nodiscard]] bool ReadBool(std::string_view section, std::string_view key,
                                bool fallback) const;

    // A line break inside the value would start a line of its own: it becomes a blank.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Takes the key's line out of its section (the first of that name); false when missing.
    bool RemoveKey(std::string_view section, std::string_view key);
    // Removes every section of that name with all its lines: a list written whole leaves no
    // entry of a longer one behind.
    void EraseSection(std::string_view section);

    [[nodiscard]] std::string Text() const;

private:
    enum class TKind : unsigned char { Other, Section, Entry };
    struct TLine
    {
        std::string raw;
        TKind kind = TKind::Other;
        std::string name; // section or key name as written
        std::string value;
    };
    static TLine Parse(std::string raw);
    // The header line of the first section of that name; npos when missing.
    [[nodiscard]] std::size_t FindSection(std::string_view section) const;
    // The line after the last one of the section that starts at header.
    [[nodiscard]] std::size_t SectionEnd(std::size_t header) const;
    // Every change of the lines keeps m_sections in step: through these, or IndexSections after.
    void InsertLine(std::size_t at, TLine line);
    void ReplaceLine(std::size_t at, TLine line);
    void EraseLine(std::size_t at);
    void IndexSections();

    std::vector<TLine> m_lines;
    // The section header lines, in file order: a look-up walks the headers, not every line.
    std::vector<std::size_t> m_sections;
    bool m_crlf = false;
};

// Decimal with an optional sign, or 0x and up to 8 hex digits; false for anything else.
[[nodiscard]] bool ParseIniInteger(std::string_view text, int &out);

} // namespace m845
