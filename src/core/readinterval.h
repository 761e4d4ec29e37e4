#pragma once

// How the link cuts received data into blocks: after the silence that suits the line's baud
// rate, so that a burst arrives whole; and, while an answer of known length is awaited, as soon
// as that many bytes are in, so that the answer is not held back for the silence after it.

#include <cstdint>

namespace m845 {

class IReadInterval
{
public:
    virtual ~IReadInterval() = default;
    // The next received block ends once it holds `length` bytes, or after the silence if that
    // comes first; blocks after it are cut by silence alone. Call it before the write that asks
    // for the answer. 0 takes it back; reopening the port always does.
    virtual void ExpectBlockLength(std::uint16_t length) = 0;
};

} // namespace m845
