#include "support/version.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace m845 {

namespace {

// A whole part as a signed 64-bit decimal number (an optional sign, then digits only).
bool ReadInt64(std::string_view text, std::int64_t &value)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return false;
        }
    }
    const char *first = text.data();
    const char *last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

std::vector<std::string_view> VersionParts(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t p = 0;
    while (p < text.size()) {
        while (p < text.size()
               && (text[p] == 'V' || text[p] == 'v' || text[p] == '\r' || text[p] == '\n')) {
            ++p;
        }
        const std::size_t start = p;
        while (p < text.size() && text[p] != '.' && text[p] != '\r' && text[p] != '\n') {
            ++p;
        }
        if (p > start) {
            parts.push_back(text.substr(start, p - start));
        }
        if (p < text.size() && text[p] == '.') {
            ++p;
        }
    }
    return parts;
}

} // namespace

std::string ProgramVersionText()
{
    return std::to_string(M845_VERSION_MAJOR) + '.' + std::to_string(M845_VERSION_MINOR) + '.'
           + std::to_string(M845_VERSION_RELEASE);
}

std::int64_t VersionNumber(std::string_view text)
{
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') {
            compact += c;
        }
    }

    // Horner's form gives the same sum as adding part * 100^(k-1-i), but leading zero parts
    // stay 0 instead of meeting an overflowed power.
    long double sum = 0.0L;
    for (const std::string_view part : VersionParts(compact)) {
        std::int64_t value = 0;
        if (!ReadInt64(part, value) || value < 0) {
            return -1;
        }
        sum = sum * 100.0L + static_cast<long double>(value);
    }

    // Device versions are compared with at most 15 significant digits: a sum of 10^15 or more
    // prints in exponent form and is no version number.
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.15Lg", sum);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return -1;
    }
    std::int64_t result = 0;
    if (!ReadInt64(std::string_view(buffer, static_cast<std::size_t>(length)), result)) {
        return -1;
    }
    return result;
}

} // namespace m845
