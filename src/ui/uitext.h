#pragma once

// Text look-ups for the window. Widgets built before the language list exists (tests, early
// start-up) show the keys themselves, as a missing key would.

#include <string_view>

#include <QString>

#include "lang/langlist.h"

namespace m845::detail {

inline QString Lang(std::string_view key)
{
    if (LangList() == nullptr)
        return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    return QString::fromStdString(LangText(key));
}

[[nodiscard]] inline bool IsChineseNow()
{
    return LangList() != nullptr && LangList()->IsChinese;
}

} // namespace m845::detail
