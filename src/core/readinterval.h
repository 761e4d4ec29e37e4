#pragma once

// How soon the link hands over a received block. Normally after the silence that suits the
// line's baud rate, so that a burst arrives whole; a short silence while nothing longer than a
// byte or two is due, so that a one-byte answer is not held back for the whole normal interval.

namespace m845 {

class IReadInterval
{
public:
    virtual ~IReadInterval() = default;
    // Takes effect with the next received byte; reopening the port always brings the normal one.
    virtual void SetShortReadInterval(bool shortInterval) = 0;
};

} // namespace m845
