#pragma once

// A link that records what goes out, and the answer length it was told to expect at each write.

#include <cstdint>
#include <functional>
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
    void SendText(std::string_view text) override { lastSent = std::string(text); }
    void SendData(std::string_view) override {}
    [[nodiscard]] bool IsPortOpen() const override { return open; }
    [[nodiscard]] const std::string &LastSentText() const override { return lastSent; }
    bool WriteData(const std::uint8_t *data, std::uint16_t length) override
    {
        if (!open || !writable)
            return false;
        if (OnWrite) {
            OnWrite({reinterpret_cast<const char *>(data), length});
            return true;
        }
        writes.emplace_back(reinterpret_cast<const char *>(data), length);
        expectedAtWrite.push_back(expected);
        return true;
    }
    void ExpectBlockLength(std::uint16_t length) override { expected = length; }
    // A received block uses up what was expected, as the component's does.
    void Received() { expected = 0; }

    bool open = true;
    bool writable = true;
    std::uint16_t expected = 0;
    std::string lastSent;
    // Where set, each write goes there instead of into writes (the fuzzer keeps none).
    std::function<void(std::string_view)> OnWrite;
    std::vector<std::string> writes;
    std::vector<std::uint16_t> expectedAtWrite;
};

} // namespace m845::test
