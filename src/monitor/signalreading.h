#pragma once

// What the device's signal and link answers mean: the CSQ value as dBm and as a quality band,
// and a socket's link state.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace m845 {

inline constexpr int kCsqNoSignal = 99;
inline constexpr int kCsqMax = 31;

// The signal strength of a CSQ value, "rssi,ber" or "rssi" (blanks allowed around each
// number): 0..31, or 99 for no signal. Nothing for any other form or number.
[[nodiscard]] std::optional<int> ParseCsq(std::string_view value);
// -113 + 2 x csq for 0..31; nothing for 99 and anything out of range.
[[nodiscard]] std::optional<int> CsqToDbm(int csq);

enum class TSignalBand : std::uint8_t { Excellent, Good, Fair, Poor, None, Unknown };

// excellent 20..31, good 15..19, fair 10..14, poor 0..9, none 99; nothing (or out of range)
// is unknown.
[[nodiscard]] TSignalBand BandOfCsq(std::optional<int> csq);
// The band as a word of the signal log file: "excellent" ... "unknown".
[[nodiscard]] std::string_view BandWord(TSignalBand band);
// The band's text key.
[[nodiscard]] std::string_view BandKey(TSignalBand band);
// The shown reading: "-51 dBm (CSQ 31)", "No signal (CSQ 99)" or "unknown", in the current
// language.
[[nodiscard]] std::string SignalText(std::optional<int> csq);

enum class TLinkState : std::uint8_t { Unknown, Connected, Disconnected, Other };

struct TLinkReading
{
    TLinkState state = TLinkState::Unknown;
    // The device's word, trimmed and in upper case ("CONNECTED", "ON", "CONNECTING"); empty
    // when there was no answer.
    std::string word;
    bool operator==(const TLinkReading &) const = default;
};

// The words a device uses for a link that is up (ON, CONNECTED, LINK ...) or down (OFF,
// DISCONNECTED, CLOSED ...); any other word is kept as it is, nothing is unknown.
[[nodiscard]] TLinkReading ParseLinkState(std::string_view value);
// The state as the label and the log file show it: CONNECTED, DISCONNECTED, the device's own
// word for any other, empty when unknown.
[[nodiscard]] std::string LinkWord(const TLinkReading &reading);
// The same in the current language: "CONNECTED" / "已连接", "unknown" / "未知".
[[nodiscard]] std::string LinkText(const TLinkReading &reading);

} // namespace m845
