#include "support/conversions.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace m845 {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

constexpr std::array<std::string_view, 4> kHdVerSignNames
    = {"HdUnknown", "HdAlder", "HdBirch", "HdCedar"};

// The hex display formats every firmware block and every burst of a stream: the text is
// sized once and its pairs written in place, not appended character by character.
char *PutHex(char *at, unsigned char byte)
{
    at[0] = kHexDigits[byte >> 4];
    at[1] = kHexDigits[byte & 0x0F];
    return at + 2;
}

// -1 for anything but 0-9, A-F, a-f.
int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The byte of a digit pair, or -1 when either character is not a hex digit.
int HexPairValue(char high, char low)
{
    const int h = HexDigitValue(high);
    const int l = HexDigitValue(low);
    if (h < 0 || l < 0) {
        return -1;
    }
    return h * 16 + l;
}

// Converts the complete pairs of hex; false at the first invalid pair, out keeping what came
// before it.
bool ConvertPairs(std::string_view hex, std::string &out)
{
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int value = HexPairValue(hex[i], hex[i + 1]);
        if (value < 0) {
            return false;
        }
        out += static_cast<char>(value);
    }
    return true;
}

// Space and the control characters; code 0 is an ordinary character here.
bool IsBlank(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Non-overlapping matches; after a partial match the scan resumes behind the matched part.
template <typename Char>
int CountMatches(std::basic_string_view<Char> pattern, std::basic_string_view<Char> text)
{
    if (pattern.empty() || pattern.size() > text.size()) {
        return 0;
    }
    int count = 0;
    const std::size_t last = text.size() - pattern.size();
    std::size_t p = 0;
    while (p <= last) {
        if (text[p] != pattern[0]) {
            ++p;
            continue;
        }
        std::size_t j = 0;
        while (j < pattern.size() && text[p + j] == pattern[j]) {
            ++j;
        }
        if (j == pattern.size()) {
            ++count;
        }
        p += j;
    }
    return count;
}

} // namespace

std::string BytesToText(const std::uint8_t *bytes, std::size_t count)
{
    if (bytes == nullptr || count == 0) {
        return {};
    }
    return {reinterpret_cast<const char *>(bytes), count};
}

std::string BytesToHex(std::span<const std::uint8_t> bytes)
{
    std::string out(bytes.size() * 2, '\0');
    char *at = out.data();
    for (const std::uint8_t byte : bytes) {
        at = PutHex(at, byte);
    }
    return out;
}

std::string BufferToHex(const std::uint8_t *bytes, std::size_t count)
{
    if (bytes == nullptr) {
        return {};
    }
    return BytesToHex(std::span<const std::uint8_t>(bytes, count));
}

std::string TextToHex(std::string_view text, std::string_view separator)
{
    std::string out(text.size() * (2 + separator.size()), '\0');
    char *at = out.data();
    for (const char c : text) {
        at = PutHex(at, static_cast<unsigned char>(c));
        at = std::copy(separator.begin(), separator.end(), at);
    }
    return out;
}

std::string TextToSpacedHex(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    std::string out(text.size() * 3 - 1, ' ');
    char *at = PutHex(out.data(), static_cast<unsigned char>(text.front()));
    for (const char c : text.substr(1)) {
        at = PutHex(at + 1, static_cast<unsigned char>(c));
    }
    return out;
}

std::string HexToText(std::string_view hex)
{
    std::string out;
    if (!ConvertPairs(hex, out)) {
        return std::string(hex);
    }
    return out;
}

bool TryHexToText(std::string_view hex, std::string &out)
{
    out.clear();
    return ConvertPairs(RemoveSpaces(hex), out);
}

std::string RemoveSpaces(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') {
            out += c;
        }
    }
    return out;
}

std::string RemoveLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

int CountOccurrences(std::u16string_view pattern, std::u16string_view text)
{
    return CountMatches(pattern, text);
}

int CountOccurrences(std::string_view pattern, std::string_view text)
{
    return CountMatches(pattern, text);
}

std::vector<std::string> SplitCommaText(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t p = 0;
    const std::size_t end = text.size();
    auto skipBlanks = [&] {
        while (p < end && IsBlank(text[p])) {
            ++p;
        }
    };

    skipBlanks();
    while (p < end) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < end) {
                if (text[p] == '"') {
                    if (p + 1 < end && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const std::size_t start = p;
            while (p < end && text[p] != ',' && !IsBlank(text[p])) {
                ++p;
            }
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (p < end && text[p] == ',') {
            if (p + 1 == end) {
                items.emplace_back();
            }
            ++p;
            skipBlanks();
        }
    }
    return items;
}

// CRC-16/XMODEM by look-up: entry[0][b] is the sum of byte b, entry[k][b] that of b followed by
// k zero bytes. The sum is linear, so eight bytes cost eight look-ups that do not wait on one
// another, where a look-up a byte waits on the one before. Plain arrays: the sanitizing builds
// keep std::array's operator[] out of line, a call for every look-up.
struct TCrc16Tables
{
    std::uint16_t entry[8][256];
};

constexpr TCrc16Tables kCrc16 = [] {
    TCrc16Tables tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021U)
                                       : static_cast<std::uint16_t>(crc << 1);
        }
        tables.entry[0][byte] = crc;
    }
    for (int k = 1; k < 8; ++k) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::uint16_t before = tables.entry[k - 1][byte];
            tables.entry[k][byte]
                = static_cast<std::uint16_t>((before << 8) ^ tables.entry[0][before >> 8]);
        }
    }
    return tables;
}();

constexpr std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte)
{
    return static_cast<std::uint16_t>((crc << 8) ^ kCrc16.entry[0][((crc >> 8) ^ byte) & 0xFFU]);
}

std::uint16_t Crc16Xmodem(const std::uint8_t *bytes, std::size_t start, std::size_t count)
{
    if (bytes == nullptr) {
        return 0;
    }
    std::uint16_t crc = 0;
    const std::uint8_t *p = bytes + start;
    // Eight bytes a read: an eighth of the memory reads, which the fuzzing build checks one by
    // one. The running sum meets the first two bytes; the other six go in as they are.
    const auto &t = kCrc16.entry;
    for (; count >= 8; count -= 8, p += 8) {
        std::uint8_t b[8];
        std::memcpy(b, p, sizeof b);
        crc = static_cast<std::uint16_t>(t[7][(crc >> 8) ^ b[0]] ^ t[6][(crc & 0xFFU) ^ b[1]]
                                         ^ t[5][b[2]] ^ t[4][b[3]] ^ t[3][b[4]] ^ t[2][b[5]]
                                         ^ t[1][b[6]] ^ t[0][b[7]]);
    }
    for (; count > 0; --count, ++p)
        crc = Crc16Step(crc, *p);
    return crc;
}

std::string HdVerSignName(std::uint8_t value)
{
    // A value outside the enumeration (255 from a foreign name) is stored as unknown, so the
    // saved file reads back as a member instead of carrying the foreign value on.
    if (value >= kHdVerSignNames.size()) {
        return std::string(kHdVerSignNames[0]);
    }
    return std::string(kHdVerSignNames[value]);
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    // Every look-up of the configuration file compares names so: equal bytes, the usual
    // case, cost one comparison, and only letters differ by case.
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y)
            continue;
        const unsigned lower = x | 0x20U;
        if (lower != (y | 0x20U) || lower < 'a' || lower > 'z')
            return false;
    }
    return true;
}

std::uint8_t HdVerSignFromName(std::string_view text)
{
    for (std::size_t i = 0; i < kHdVerSignNames.size(); ++i) {
        if (EqualsNoCase(text, kHdVerSignNames[i])) {
            return static_cast<std::uint8_t>(i);
        }
    }
    return 255;
}

} // namespace m845
