#include "support/version.h"

namespace m845 {

std::string ProgramVersionText()
{
    return std::to_string(M845_VERSION_MAJOR) + '.' + std::to_string(M845_VERSION_MINOR) + '.'
           + std::to_string(M845_VERSION_RELEASE);
}

} // namespace m845
