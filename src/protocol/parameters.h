#pragma once

// One row per device parameter: how the read-all asks for it, which work modes' write-all sends
// it, where the configuration file keeps it and how a read-back compares it. The read list comes
// from this table; the write-all list, the stored keys and the compare rules are checked against
// it, so a value that is written but never read cannot go unnoticed again.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel.h"
#include "protocol/commands.h"

namespace m845 {

// The work modes whose write-all sends a parameter, as bits; NoMode is the list with no work
// mode selected.
enum TModeBit : std::uint8_t {
    kModeNet = 1,
    kModeHttpd = 2,
    kModeSms = 4,
    kModeUdc = 8,
    kModeNone = 16,
};
inline constexpr std::uint8_t kEveryMode = kModeNet | kModeHttpd | kModeSms | kModeUdc | kModeNone;
inline constexpr std::uint8_t kNetOrUdc = kModeNet | kModeUdc;

// The bit of a WorkModeIndex (0 NET, 1 HTTPD, 2 SMS, 3 UDC, 4 none).
[[nodiscard]] std::uint8_t ModeBit(int workModeIndex);

// The value's text form.
enum class TValueForm : std::uint8_t {
    Switch,   // "ON" / "OFF"
    Keyword,  // one word of a list
    Compound, // fields joined by commas
    Text,     // the control's text unaltered
    HexData,  // hexadecimal text, or the hexadecimal of the box's bytes
    Report,   // a value the device reports and the panel does not show
};

// How a written value is compared with the device's answer, as the panel would show both.
enum class TCompare : std::uint8_t {
    Exact,
    NoCase,       // a list box: letter case ignored
    Fields,       // compound: the first field (a list) without case, the others exactly
    FieldsPrefix, // UART: list fields without case; the device adds the flow field
    WorkMode,     // the radio button the text selects
    RegType,      // the item the type selects: MEID and IMEI are the same one
};

struct TParameter
{
    TCmd cmd;
    TValueForm form;
    // The control that shows it, by the window's name ("" for a reported value).
    std::string_view control;
    // Asked for by the read-all, in the order of the table.
    bool readAll;
    // Modes whose write-all sends it (TModeBit); 0 when it is never written.
    std::uint8_t writtenIn;
    // Written only while the advanced box is ticked.
    bool advanced;
    // The device answers a query of it.
    bool readable;
    // Where the configuration file keeps it; empty when it is not kept.
    std::string_view section;
    std::string_view key;
    TCompare compare;
};

// Every parameter; the read-all's queries first, in their order, VER leading.
[[nodiscard]] std::span<const TParameter> Parameters();
// The row of a command; nullptr for a command that is no parameter (H, Z, CSQ ...).
[[nodiscard]] const TParameter *FindParameter(TCmd cmd);
// The row of the read-all's identity query: MEID or IMEI by the hardware variant.
[[nodiscard]] bool IsIdentity(TCmd cmd);

// The queries the read-all appends after VER, with the identity asked as identityCmd.
[[nodiscard]] std::vector<TCmd> ReadAllRest(TCmd identityCmd);
// What a mode's write-all can send that the read-all never asks for, though the device would
// answer: a copy of a device must query these too.
[[nodiscard]] std::vector<TCmd> WrittenButNotReadAll(int workModeIndex);

// The value the panel holds for a parameter, as the write-all would send it (UTF-8, before the
// device's encoding): "ON"/"OFF", the keyword of the selected item, compound fields, hexadecimal
// data as the Hex box makes it. identityCmd names registration type 1. Nothing for a reported
// value, a work mode that is not chosen, or a registration type with no item selected.
[[nodiscard]] std::optional<std::string> PanelValue(const IPanel &panel, TCmd cmd,
                                                    TCmd identityCmd);

} // namespace m845
