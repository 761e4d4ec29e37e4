#pragma once

// The command line of m845sim, parsed apart from main() so that it can be tested.

#include <string>
#include <vector>

#include "devsim/simserver.h"

namespace m845::devsim {

struct CliResult
{
    SimOptions options;
    bool help = false;
    // --control: lines on standard input switch and change the device (simcontrol.h).
    bool control = false;
    std::string error; // empty when the arguments are good
};

// The arguments without the program name.
[[nodiscard]] CliResult ParseSimArgs(const std::vector<std::string> &args);
[[nodiscard]] std::string SimUsage();

} // namespace m845::devsim
