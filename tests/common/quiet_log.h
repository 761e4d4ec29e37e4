#pragma once

// A log that keeps nothing, for code that must have one.

#include "core/log.h"

namespace m845::test {

using TQuietLog = TNullLog;

} // namespace m845::test
