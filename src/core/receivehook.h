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
    // What to treat as command traffic after TakeBlock said false: rx, or rx behind the bytes
    // of the same burst that the hook held back; valid until the next TakeBlock.
    [[nodiscard]] virtual std::string_view Untaken(std::string_view rx) const { return rx; }
};

} // namespace m845
