// Receive figures of TComm through a pseudo-terminal: sustained throughput with every byte
// checked, and the time from the last byte of a burst to the delivery of its block.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>

#include "serial/comm.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pty
{
    int master = -1;
    int slave = -1;
    std::string path;

    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        path = name;
        for (const int fd : {master, slave}) {
            termios tio{};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }

    void Write(const std::uint8_t *data, std::size_t size) const
    {
        while (size > 0) {
            const ssize_t wrote = ::write(master, data, size);
            if (wrote <= 0) {
                std::perror("write");
                std::exit(1);
            }
            data += wrote;
            size -= static_cast<std::size_t>(wrote);
        }
    }
};

std::uint8_t PatternByte(std::uint64_t index)
{
    return static_cast<std::uint8_t>(index * 131u + (index >> 12));
}

void PumpUntil(const bool &done)
{
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void Throughput(std::uint64_t total, std::uint32_t interval)
{
    Pty pty;
    m845::TComm comm;
    comm.SetCommName(pty.path);
    comm.SetOutx_CtsFlow(false);
    comm.SetBaudRate(921600);
    comm.SetReadIntervalTimeout(interval);
    std::uint64_t received = 0;
    std::uint64_t blocks = 0;
    std::uint64_t wrong = 0;
    bool done = false;
    comm.OnReceiveData = [&](m845::TComm &, const std::uint8_t *buffer, std::uint16_t length) {
        for (std::uint16_t i = 0; i < length; ++i) {
            if (buffer[i] != PatternByte(received + i))
                ++wrong;
        }
        received += length;
        ++blocks;
        done = received >= total;
    };
    comm.OpenPort();

    const auto start = Clock::now();
    std::thread device([&] {
        std::vector<std::uint8_t> chunk(65536);
        for (std::uint64_t sent = 0; sent < total; sent += chunk.size()) {
            const auto size
                = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - sent));
            for (std::size_t i = 0; i < size; ++i)
                chunk[i] = PatternByte(sent + i);
            pty.Write(chunk.data(), size);
        }
    });
    PumpUntil(done);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    device.join();
    comm.ClosePort();
    std::printf("throughput  interval %3u ms: %.1f MB in %.3f s = %.1f MB/s, %llu blocks "
                "(mean %.0f bytes), %s\n",
                interval, static_cast<double>(total) / 1e6, seconds,
                static_cast<double>(total) / 1e6 / seconds, static_cast<unsigned long long>(blocks),
                static_cast<double>(received) / static_cast<double>(blocks),
                (wrong == 0 && received == total) ? "every byte intact and in order"
                                                  : "BYTES LOST OR CHANGED");
}

void Latency(std::uint32_t interval, int bursts, std::size_t burstSize)
{
    Pty pty;
    m845::TComm comm;
    comm.SetCommName(pty.path);
    comm.SetOutx_CtsFlow(false);
    comm.SetReadIntervalTimeout(interval);
    Clock::time_point delivered;
    std::string block;
    bool done = false;
    comm.OnReceiveData = [&](m845::TComm &, const std::uint8_t *buffer, std::uint16_t length) {
        delivered = Clock::now();
        block.append(reinterpret_cast<const char *>(buffer), length);
        done = true;
    };
    comm.OpenPort();

    std::vector<double> ms;
    int intact = 0;
    std::vector<std::uint8_t> burst(burstSize);
    for (int round = 0; round < bursts; ++round) {
        for (std::size_t i = 0; i < burst.size(); ++i)
            burst[i] = PatternByte(static_cast<std::uint64_t>(round) * 7919u + i);
        block.clear();
        done = false;
        // Taken before the write: the receive thread runs at a higher priority and may
        // preempt this thread right after the bytes land, which would shorten the figure.
        const auto lastByte = Clock::now();
        pty.Write(burst.data(), burst.size());
        PumpUntil(done);
        ms.push_back(std::chrono::duration<double, std::milli>(delivered - lastByte).count());
        if (block.size() == burst.size()
            && std::memcmp(block.data(), burst.data(), burst.size()) == 0)
            ++intact;
    }
    comm.ClosePort();
    std::printf("latency     interval %3u ms, %4zu-byte bursts x %d: min %.2f  median %.2f  "
                "p99 %.2f  max %.2f ms; %d of %d delivered as one intact block\n",
                interval, burstSize, bursts, *std::min_element(ms.begin(), ms.end()),
                Percentile(ms, 0.5), Percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()),
                intact, bursts);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Throughput(256ull << 20, 60);
    Throughput(64ull << 20, 10);
    Latency(60, 300, 64);
    Latency(10, 300, 64);
    Latency(200, 50, 64);
    // A full block goes at once, without waiting for silence.
    Latency(60, 200, 4096);
    return 0;
}
