#pragma once

// The boot loader's prompts and firmware contents, as the firmware tests use them.

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace m845::test {

inline constexpr std::string_view kBootMenu
    = "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>";
inline constexpr std::string_view kBootConfirm = "F\r\nSure to update, 'Y' or 'N'\r\n>";

inline std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(random());
    return out;
}

} // namespace m845::test
