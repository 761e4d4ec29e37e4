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
    // What the link writes by itself the moment the expected block is in and is the one byte
    // `answer`, before the block is handed over; the block after it is then expected at
    // `replyAnswerLength`. Any other block cut at its length puts it aside unsent. A link that
    // cannot reply by itself ignores it, and its TakeBackReply says false.
    virtual void PrepareReply([[maybe_unused]] std::uint8_t answer,
                              [[maybe_unused]] const std::uint8_t *reply,
                              [[maybe_unused]] std::uint16_t length,
                              [[maybe_unused]] std::uint16_t replyAnswerLength)
    {}
    // True when the prepared reply went; either way none is left prepared.
    virtual bool TakeBackReply() { return false; }
};

} // namespace m845
