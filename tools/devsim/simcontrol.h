#pragma once

// The bench's hand on m845sim (--control): lines on standard input that switch the device on
// and off and change its parameters, so that one line can play devices that come and go.

#include <string>
#include <string_view>

namespace m845::devsim {

class SimServer;

struct SimControl
{
    enum class Kind { None, PowerOn, PowerOff, Set, Bad };
    Kind kind = Kind::None;
    std::string name;
    std::string value;
};

// "on", "off", "set NAME=value"; an empty line is None, anything else Bad.
[[nodiscard]] SimControl ParseControlLine(std::string_view line);
// Carries out one line; false with a message for a bad one.
bool ApplyControlLine(SimServer &server, std::string_view line, std::string &error);

} // namespace m845::devsim
