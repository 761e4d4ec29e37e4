#pragma once

// Gets the first look at every received block (boot-menu prompts, firmware transfer replies).

#include <string_view>

namespace m845 {

class IReceiveHook
{
public:
    virtual ~IReceiveHook() = default;
    // true when the block belonged to it and must not be treated as command traffic.
    [[nodiscard]] virtual bool TakeBlock(std::string_view rx) = 0;
};

} // namespace m845
