#pragma once

// Pure text and hexadecimal helpers. Texts are byte strings: one char is one byte,
// and hexadecimal always means two upper-case digits per byte.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace m845 {

enum class THdVerSign : std::uint8_t { HdUnknown = 0, HdAlder = 1, HdBirch = 2, HdCedar = 3 };

[[nodiscard]] std::string BytesToText(const std::uint8_t *bytes, std::size_t count);
[[nodiscard]] std::string BytesToHex(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::string BufferToHex(const std::uint8_t *bytes, std::size_t count);
// Each byte as two digits followed by the separator (also after the last byte).
[[nodiscard]] std::string TextToHex(std::string_view text, std::string_view separator);
// Two digits per byte, single spaces between, none at either end.
[[nodiscard]] std::string TextToSpacedHex(std::string_view text);
// Digit pairs from the left, an odd last digit dropped; invalid input comes back unchanged.
[[nodiscard]] std::string HexToText(std::string_view hex);
// Spaces are dropped first; false on the first invalid pair (out then holds the part before it).
[[nodiscard]] bool TryHexToText(std::string_view hex, std::string &out);
[[nodiscard]] std::string RemoveSpaces(std::string_view text);
[[nodiscard]] std::string RemoveLineBreaks(std::string_view text);
// Non-overlapping count; an empty pattern counts 0.
[[nodiscard]] int CountOccurrences(std::u16string_view pattern, std::u16string_view text);
[[nodiscard]] int CountOccurrences(std::string_view pattern, std::string_view text);
[[nodiscard]] std::vector<std::string> SplitCommaText(std::string_view text);
// Equal but for the letter case of A-Z: command names, INI names, list items, keywords.
[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);
[[nodiscard]] std::uint16_t Crc16Xmodem(const std::uint8_t *bytes, std::size_t start, std::size_t count);
[[nodiscard]] std::string HdVerSignName(std::uint8_t value);
// 255 when the text names no member.
[[nodiscard]] std::uint8_t HdVerSignFromName(std::string_view text);

} // namespace m845
