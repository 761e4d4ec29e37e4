#pragma once

// A link that records what goes out, and the answer length it was told to expect at each write.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
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
    void PrepareReply(std::uint8_t answer, const std::uint8_t *reply, std::uint16_t length,
                      std::uint16_t replyAnswerLength) override
    {
        prepared.assign(reinterpret_cast<const char *>(reply), length);
        preparedAnswer = static_cast<char>(answer);
        preparedAnswerLength = replyAnswerLength;
        replySent = false;
    }
    bool TakeBackReply() override
    {
        prepared.clear();
        return std::exchange(replySent, false);
    }
    // A received block uses up what was expected, as the component's does; and, where replies
    // is set, a block cut at its expected length that is the prepared answer sends the
    // prepared reply first.
    void Received(std::string_view block = {})
    {
        const bool cut = expected != 0 && block.size() >= expected;
        expected = 0;
        if (!cut || prepared.empty())
            return;
        // Swapped, not moved: the fuzzer runs this for every block, and both keep their room.
        m_reply.swap(prepared);
        prepared.clear();
        if (!replies || block != std::string_view(&preparedAnswer, 1) || !open || !writable)
            return;
        expected = preparedAnswerLength;
        replySent = WriteData(reinterpret_cast<const std::uint8_t *>(m_reply.data()),
                              static_cast<std::uint16_t>(m_reply.size()));
        repliesSent += replySent ? 1 : 0;
    }

    bool open = true;
    bool writable = true;
    std::uint16_t expected = 0;
    std::string lastSent;
    // Where set, each write goes there instead of into writes (the fuzzer keeps none).
    std::function<void(std::string_view)> OnWrite;
    std::vector<std::string> writes;
    std::vector<std::uint16_t> expectedAtWrite;
    // Whether the link sends a prepared reply by itself, as the serial component does.
    bool replies = false;
    std::string prepared;
    char preparedAnswer = 0;
    std::uint16_t preparedAnswerLength = 0;
    bool replySent = false;
    int repliesSent = 0;

private:
    std::string m_reply;
};

} // namespace m845::test
