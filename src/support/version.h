#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace m845 {

// "major.minor.release" of this program, from the build's project version.
[[nodiscard]] std::string ProgramVersionText();
// A device version text such as "V1.0.5" as one ordering number (10005); -1 when not a version.
[[nodiscard]] std::int64_t VersionNumber(std::string_view text);

} // namespace m845
