#pragma once

// Records every event of a TComm in arrival order.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pty_pair.h"
#include "serial/comm.h"

namespace m845::test {

struct CommRecorder
{
    std::vector<std::string> blocks;
    // "data", "error", "hangup", "modem", "empty", in arrival order.
    std::vector<std::string> events;
    std::vector<std::uint32_t> errors;
    std::vector<std::uint32_t> modemEvents;
    int hangups = 0;
    int sendEmpty = 0;
    bool everyBlockTerminated = true;
    std::size_t longestBlock = 0;

    void Attach(TComm &comm)
    {
        comm.OnReceiveData = [this](TComm &, const std::uint8_t *buffer, std::uint16_t length) {
            if (buffer[length] != 0)
                everyBlockTerminated = false;
            longestBlock = std::max<std::size_t>(longestBlock, length);
            blocks.emplace_back(reinterpret_cast<const char *>(buffer), length);
            events.emplace_back("data");
        };
        comm.OnReceiveError = [this](TComm &, std::uint32_t mask) {
            errors.push_back(mask);
            events.emplace_back("error");
        };
        comm.OnModemStateChange = [this](TComm &, std::uint32_t event) {
            modemEvents.push_back(event);
            events.emplace_back("modem");
        };
        comm.OnRequestHangup = [this](TComm &) {
            ++hangups;
            events.emplace_back("hangup");
        };
        comm.OnSendDataEmpty = [this](TComm &) {
            ++sendEmpty;
            events.emplace_back("empty");
        };
    }

    [[nodiscard]] std::string Received() const
    {
        std::string all;
        for (const auto &block : blocks)
            all += block;
        return all;
    }
};

// Bytes that show a lost, doubled or swapped piece wherever it happens.
inline std::string Pattern(std::size_t size, std::uint32_t seed = 1)
{
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (auto &byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// A component on the slave side of a fresh pty, recorded from the start.
class CommOnPtyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Valid());
        comm.SetCommName(pty.SlavePath());
        comm.SetOutx_CtsFlow(false);
        recorder.Attach(comm);
    }

    PtyPair pty;
    TComm comm;
    CommRecorder recorder;
};

} // namespace m845::test
