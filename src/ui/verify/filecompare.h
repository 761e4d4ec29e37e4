#pragma once

// What a configuration file would put into the panel, without touching the panel.

#include "protocol/panelvalues.h"

namespace m845 {

class TIniFile;

// The file goes into a parameter panel of its own that is never shown, through the panel's own
// rules (a UDP socket's long connection, the Hex boxes, the registration type's entry, the UDC
// mode's forced values), as "Open configuration file..." would put it into the window's. A
// plain panel would need those rules copied and would drift from them.
[[nodiscard]] TPanelValues FileValues(const TIniFile &ini);

} // namespace m845
