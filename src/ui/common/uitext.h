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

[[nodiscard]] inline bool IsChineseNow()
{
    return LangList() != nullptr && LangList()->IsChinese;
}

} // namespace m845::detail
