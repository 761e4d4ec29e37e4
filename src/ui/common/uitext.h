#pragma once

// The window's side of the one text look-up (LangText), as Qt strings.

#include <string_view>

#include <QString>

#include "lang/langlist.h"

namespace m845::detail {

inline QString Lang(std::string_view key)
{
    return QString::fromStdString(LangText(key));
}

// A control's word about its own state (a value changed since it was read), as a dynamic
// property: shown as a hint even while real-time help is off.
inline constexpr char kStateHintProperty[] = "stateHint";

[[nodiscard]] inline bool IsChineseNow()
{
    return LangList() != nullptr && LangList()->IsChinese;
}

} // namespace m845::detail
