#pragma once

// A pseudo-terminal standing in for a serial line, and a wait that pumps the owner's event
// loop until a condition holds.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace m845::test {

class PtyPair final
{
public:
    PtyPair()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        m_slavePath = name;
        // Both ends raw: a cooked slave echoes and turns CR into LF.
        for (const int fd : {m_master, m_slave}) {
            termios tio{};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~PtyPair()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    [[nodiscard]] bool Valid() const { return m_master >= 0 && m_slave >= 0; }
    [[nodiscard]] int Master() const { return m_master; }
    // The test's own descriptor of the slave, for reading its settings back; never read from.
    [[nodiscard]] int Slave() const { return m_slave; }
    [[nodiscard]] const std::string &SlavePath() const { return m_slavePath; }

    // The way a pulled USB adapter looks to the port.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool Write(const std::string &bytes) const
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t wrote = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (wrote <= 0)
                return false;
            done += static_cast<std::size_t>(wrote);
        }
        return true;
    }

    // Reads from the master until `count` bytes are in or the time is up.
    [[nodiscard]] std::string Read(std::size_t count, int timeoutMs = 10000) const
    {
        std::string bytes;
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{m_master, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                break;
            char chunk[8192];
            const ssize_t got
                = ::read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // True once the master has something to read (the port has started writing).
    [[nodiscard]] bool WaitReadable(int timeoutMs = 10000) const
    {
        pollfd fd{m_master, POLLIN, 0};
        return poll(&fd, 1, timeoutMs) > 0;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// Runs the event loop until `done` holds; false when the time runs out first.
inline bool WaitFor(const std::function<bool()> &done, int timeoutMs = 10000)
{
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(timeoutMs);
    while (!done()) {
        if (!guard.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace m845::test
