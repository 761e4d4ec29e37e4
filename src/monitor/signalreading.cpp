#include "monitor/signalreading.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "lang/langlist.h"

namespace m845 {

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One or two decimal digits, nothing else.
std::optional<int> SmallNumber(std::string_view text)
{
    text = Trimmed(text);
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::optional<int> ParseCsq(std::string_view value)
{
    const auto comma = value.find(',');
    const std::optional<int> rssi = SmallNumber(value.substr(0, comma));
    if (!rssi)
        return std::nullopt;
    // The bit error rate is not shown, but a second field that is no number means a form we
    // do not know.
    if (comma != std::string_view::npos && !SmallNumber(value.substr(comma + 1)))
        return std::nullopt;
    if (*rssi > kCsqMax && *rssi != kCsqNoSignal)
        return std::nullopt;
    return rssi;
}

std::optional<int> CsqToDbm(int csq)
{
    if (csq < 0 || csq > kCsqMax)
        return std::nullopt;
    return -113 + 2 * csq;
}

TSignalBand BandOfCsq(std::optional<int> csq)
{
    if (!csq)
        return TSignalBand::Unknown;
    if (*csq == kCsqNoSignal)
        return TSignalBand::None;
    if (*csq < 0 || *csq > kCsqMax)
        return TSignalBand::Unknown;
    if (*csq >= 20)
        return TSignalBand::Excellent;
    if (*csq >= 15)
        return TSignalBand::Good;
    if (*csq >= 10)
        return TSignalBand::Fair;
    return TSignalBand::Poor;
}

std::string_view BandWord(TSignalBand band)
{
    constexpr std::array<std::string_view, 6> words
        = {"excellent", "good", "fair", "poor", "none", "unknown"};
    return words[static_cast<std::size_t>(band)];
}

std::string_view BandKey(TSignalBand band)
{
    constexpr std::array<std::string_view, 6> keys
        = {"info_MonBandExcellent", "info_MonBandGood", "info_MonBandFair",
           "info_MonBandPoor",      "info_MonBandNone", "info_MonBandUnknown"};
    return keys[static_cast<std::size_t>(band)];
}

std::string SignalText(std::optional<int> csq)
{
    if (csq && *csq == kCsqNoSignal)
        return LangText("info_MonNoSignal");
    const std::optional<int> dbm = csq ? CsqToDbm(*csq) : std::nullopt;
    if (!dbm)
        return LangText("info_MonUnknown");
    return LangFormat("info_MonDbm", {std::to_string(*dbm), std::to_string(*csq)});
}

TLinkReading ParseLinkState(std::string_view value)
{
    const std::string word = Upper(Trimmed(value));
    if (word.empty())
        return {};
    constexpr std::array<std::string_view, 7> up
        = {"ON", "1", "CONNECTED", "CONNECT", "LINK", "LINKED", "UP"};
    constexpr std::array<std::string_view, 8> down
        = {"OFF", "0", "DISCONNECTED", "DISCONNECT", "UNLINK", "UNLINKED", "CLOSED", "DOWN"};
    if (std::find(up.begin(), up.end(), word) != up.end())
        return {TLinkState::Connected, word};
    if (std::find(down.begin(), down.end(), word) != down.end())
        return {TLinkState::Disconnected, word};
    return {TLinkState::Other, word};
}

std::string LinkWord(const TLinkReading &reading)
{
    switch (reading.state) {
    case TLinkState::Connected:
        return "CONNECTED";
    case TLinkState::Disconnected:
        return "DISCONNECTED";
    case TLinkState::Other:
        return reading.word;
    case TLinkState::Unknown:
        break;
    }
    return {};
}

std::string LinkText(const TLinkReading &reading)
{
    switch (reading.state) {
    case TLinkState::Connected:
        return LangText("info_MonLinkUp");
    case TLinkState::Disconnected:
        return LangText("info_MonLinkDown");
    case TLinkState::Other:
        return reading.word;
    case TLinkState::Unknown:
        break;
    }
    return LangText("info_MonUnknown");
}

} // namespace m845
