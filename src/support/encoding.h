#pragma once

// The device and the language file speak GBK; the program holds UTF-8.

#include <string>
#include <string_view>

namespace m845 {

// Bytes that are no GBK are replaced by U+FFFD; nothing is dropped silently.
[[nodiscard]] std::string GbkToUtf8(std::string_view gbk);
// Characters GBK cannot hold become '?'.
[[nodiscard]] std::string Utf8ToGbk(std::string_view utf8);
[[nodiscard]] bool IsValidUtf8(std::string_view text);

} // namespace m845
