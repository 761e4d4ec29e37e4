#pragma once

// The write-all list: one set line per parameter of the panel, in the device's order for
// the checked work mode.

#include <string>

#include "core/panel.h"
#include "protocol/commands.h"

namespace m845 {

// Clears the command queue and fills it; sends nothing. identityCmd names registration type 1.
// Panel texts are UTF-8; the lines carry GBK.
void BuildSetAll(const IPanel &panel, TCmd identityCmd);

} // namespace m845
