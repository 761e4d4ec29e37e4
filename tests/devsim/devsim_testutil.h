#pragma once

// Helpers for driving the simulator from its far end: XModem blocks built independently of
// the device's own code, and a raw pty peer that reads bursts the way the tool cuts them.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "devsim/devicemodel.h"

namespace m845::devsim::test {

// A fixed start for the model's clock, far from its zero.
inline const TimePoint T0 = TimePoint{} + std::chrono::hours(1);

// What a run of bursts puts on the line, as one string.
inline std::string Joined(const std::vector<Burst> &bursts)
{
    std::string out;
    for (const Burst &b : bursts) {
        out += b.bytes;
    }
    return out;
}

inline std::uint16_t Crc(std::string_view data)
{
    std::uint16_t crc = 0;
    for (const char c : data) {
        crc ^= static_cast<std::uint16_t>(static_cast<std::uint8_t>(c) << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021U)
                                       : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

inline std::string MakeBlock(std::uint8_t number, const std::string &data128)
{
    std::string block;
    block.push_back(0x01);
    block.push_back(static_cast<char>(number));
    block.push_back(static_cast<char>(0xFF - number));
    block += data128;
    const std::uint16_t crc = Crc(data128);
    block.push_back(static_cast<char>(crc >> 8));
    block.push_back(static_cast<char>(crc & 0xFF));
    return block;
}

inline std::string Padded(std::string data)
{
    if (data.size() % 128 != 0) {
        data.append(128 - data.size() % 128, '\x1A');
    }
    return data;
}

inline std::vector<std::string> Blocks(const std::string &data)
{
    const std::string padded = Padded(data);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < padded.size(); i += 128) {
        out.push_back(
            MakeBlock(static_cast<std::uint8_t>((i / 128 + 1) & 0xFF), padded.substr(i, 128)));
    }
    return out;
}

// The PC's end of the line, raw, as the tool opens it.
class PtyPeer
{
public:
    explicit PtyPeer(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~PtyPeer()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    [[nodiscard]] int Fd() const { return m_fd; }

    bool Write(std::string_view bytes) const
    {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // One burst: bytes up to a silence of `silence`; nullopt when nothing comes within
    // `timeout`, or the line is gone (then Gone() is true).
    std::optional<std::string> ReadBurst(std::chrono::milliseconds timeout,
                                         std::chrono::milliseconds silence
                                         = std::chrono::milliseconds(60))
    {
        std::string out;
        auto wait = timeout;
        for (;;) {
            pollfd pfd{m_fd, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
            if (ready <= 0) {
                break;
            }
            char buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) {
                m_gone = true;
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
            wait = silence;
        }
        if (out.empty()) {
            return std::nullopt;
        }
        return out;
    }

    [[nodiscard]] bool Gone() const { return m_gone; }

private:
    int m_fd = -1;
    bool m_gone = false;
};

} // namespace m845::devsim::test
