#pragma once

// The send primitives of the serial link as the protocol code sees them.

#include <cstdint>
#include <string>
#include <string_view>

namespace m845 {

class ILink
{
public:
    virtual ~ILink() = default;
    // Device commands: written, logged as sent, remembered in LastSentText, not counted.
    // With the port closed: the "port not open" warning, nothing sent.
    virtual void SendText(std::string_view text) = 0;
    // Terminal data: written, counted, logged; LastSentText unchanged.
    virtual void SendData(std::string_view data) = 0;
    [[nodiscard]] virtual bool IsPortOpen() const = 0;
    [[nodiscard]] virtual const std::string &LastSentText() const = 0;
    // Raw write to the component (firmware blocks): not logged, not remembered.
    virtual bool WriteData(const std::uint8_t *data, std::uint16_t length) = 0;
};

} // namespace m845
