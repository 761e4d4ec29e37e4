#pragma once

// The one text form of each parameter value, shared by the device's replies, the write-all
// list and the configuration file: switches "ON"/"OFF", keyword lists, compound values joined
// by commas. Applying a value runs the panel's reactions as a click would.

#include <string>
#include <string_view>

#include "core/panel.h"
#include "protocol/commands.h"

namespace m845 {

// "ON" ticks, "OFF" clears, anything else keeps; then the box is inverted twice so that its
// click reaction runs twice even when nothing changed.
void CheckFromOnOff(IPanel &panel, PanelCheck box, std::string_view text);
// First item equal to the text, case ignored; no match leaves the box with no selection.
void SelectComboText(IPanel &panel, PanelCombo box, std::string_view text);
// Clears the four work-mode buttons, then "NET", "HTTPD" exactly, else "SMS", "UDC" contained.
void SetWorkModeFromText(IPanel &panel, std::string_view text);
// Registration data entries, the UDC identifier and the keyword lists. Keywords compare
// exactly; a keyword that matches nothing leaves the box as it was.
void SetChoiceFromText(IPanel &panel, TCmd cmd, PanelCombo box, std::string_view text);
// UART, APN, HTPSV.
void SetListFromText(IPanel &panel, TCmd cmd, std::string_view text);
// SOCKA..SOCKD: exactly three fields, then the protocol reaction of that row.
void SetSocketFromText(IPanel &panel, TCmd cmd, std::string_view text);

// Built from the panel: "ON"/"OFF", and "115200,8,1,NONE" (no flow field).
[[nodiscard]] std::string OnOffFromCheck(const IPanel &panel, PanelCheck box);
[[nodiscard]] std::string UartText(const IPanel &panel);

} // namespace m845
