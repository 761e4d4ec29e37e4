#pragma once

// The device and the language file speak GBK; the program holds UTF-8.

#include <string>
#include <string_view>

namespace m845 {

// Bytes that are no GBK are replaced by U+FFFD; nothing is dropped silently.
[[nodiscard]] std::string GbkToUtf8(std::string_view gbk);
// Characters GBK cannot hold become '?'.
[[nodiscard]] std::string Utf8ToGbk(std::string_view utf8);
[[nodiscard]] bool IsValidUtf8(std::string_view text);

// Device bytes made safe for a terminal or a record file: every control a terminal would obey
// (C0 but TAB, LF and CR, DEL, C1) and every byte that is no UTF-8 shows as \xNN, by its bytes;
// text stays. Line breaks are the caller's: they stay, to be split as before. A backslash
// stays too: this is for reading, and the hex display has the exact bytes.
[[nodiscard]] std::string EscapeControls(std::string_view text);
// The same on one line: every line break and tab shows as \xNN too.
[[nodiscard]] std::string EscapeToOneLine(std::string_view text);
// Device text as one cell of a CSV file: on one line, quoted where a spreadsheet would split
// it or trim it, and never a formula.
[[nodiscard]] std::string CsvField(std::string_view text);

} // namespace m845
