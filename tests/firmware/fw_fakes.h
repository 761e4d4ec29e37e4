#pragma once

// A link that records what goes out and every change of the read interval, in one sequence.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/link.h"
#include "core/log.h"
#include "core/readinterval.h"

namespace m845::test {

class TFwFakeLink final : public ILink, public IReadInterval
{
public:
    void SendText(std::string_view text) override
    {
        events.push_back("text " + std::string(text));
        lastSent = std::string(text);
    }
    void SendData(std::string_view) override {}
    [[nodiscard]] bool IsPortOpen() const override { return open; }
    [[nodiscard]] const std::string &LastSentText() const override { return lastSent; }
    bool WriteData(const std::uint8_t *data, std::uint16_t length) override
    {
        if (!open || !writable)
            return false;
        writes.emplace_back(reinterpret_cast<const char *>(data), length);
        events.push_back("write " + std::to_string(length));
        return true;
    }
    void SetShortReadInterval(bool shortInterval) override
    {
        if (shortInterval != isShort)
            events.emplace_back(shortInterval ? "short" : "normal");
        isShort = shortInterval;
    }

    bool open = true;
    bool writable = true;
    bool isShort = false;
    std::string lastSent;
    std::vector<std::string> writes;
    std::vector<std::string> events;
};

} // namespace m845::test
