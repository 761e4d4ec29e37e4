#pragma once

// Runs a DeviceModel on a line: a new pseudo-terminal (the peer opens SlavePath()) or an
// existing serial device. One thread of its own moves bytes both ways and keeps the
// model's clock; everything public is safe to call from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "devsim/devicemodel.h"

namespace m845::devsim {

struct SimOptions
{
    ModelOptions model;
    std::string portPath;  // serve this serial device instead of a new pty
    std::string linkPath;  // symlink to the pty's slave, removed on Stop
    std::string stateFile; // parameters loaded at start and saved after every change
    std::string traceFile; // every received command line, one per line
    std::string fwOutFile; // each received firmware image, padding kept
    // Bytes leave, and reach the device, at the line rate, 10 bits each: what the peer writes
    // at once is handed to the device byte by byte as each stop bit would end.
    bool baudPace = false;
    int baud = 115200;
    long long dropAfter = -1; // close the line after this many received bytes; < 0 never
    // On a pty the device is powered when the peer first opens the line, so that the first
    // thing it says (start-up message, boot menu) is not flushed away by the opening.
    bool powerOnAtOpen = true;
    // No power until PowerOn: the device hears nothing and says nothing (a bench waiting for
    // the next device).
    bool startPoweredOff = false;
};

class SimServer final
{
public:
    explicit SimServer(SimOptions options);
    ~SimServer();
    SimServer(const SimServer &) = delete;
    SimServer &operator=(const SimServer &) = delete;

    // Opens the line, loads the state file and starts the thread; false with a message.
    [[nodiscard]] bool Start(std::string *error = nullptr);
    void Stop();

    // The pty's slave device (or the served port's path).
    [[nodiscard]] std::string SlavePath() const { return m_slavePath; }
    [[nodiscard]] bool Dropped() const { return m_dropped.load(); }
    [[nodiscard]] DeviceMode Mode() const;
    [[nodiscard]] std::vector<std::string> Trace() const;
    [[nodiscard]] std::string Param(std::string_view name) const;
    [[nodiscard]] std::map<std::string, std::string> Params() const;
    // A preset, stored unchecked as a test wants it.
    void SetParam(std::string_view name, std::string value);
    // Power by hand (simpower.cpp), in the order asked: on gives the start-up message or the
    // boot menu; off cuts everything short, also what was still to be sent. Once used, the
    // line's opening no longer powers the device.
    void PowerOn();
    void PowerOff();
    [[nodiscard]] std::string Firmware() const;
    [[nodiscard]] int FirmwareImages() const;
    [[nodiscard]] std::optional<TimePoint> LastStartRequest() const;
    [[nodiscard]] long long BytesReceived() const { return m_received.load(); }

    // Wait on the device's own events, for tests that drive it from outside.
    [[nodiscard]] bool WaitForTrace(std::size_t count, std::chrono::milliseconds timeout) const;
    [[nodiscard]] bool WaitForMode(DeviceMode mode, std::chrono::milliseconds timeout) const;
    [[nodiscard]] bool WaitForFirmware(int images, std::chrono::milliseconds timeout) const;
    // Also while the device has no power: the peer has written to the line (simpower.cpp).
    [[nodiscard]] bool WaitForBytes(long long count, std::chrono::milliseconds timeout) const;

private:
    struct Pending
    {
        TimePoint at;
        std::string bytes;
        std::size_t written = 0;
        bool started = false;
        TimePoint lineStart; // pacing: when its first byte went on the line
    };

    bool OpenLine(std::string &error);
    void Run();
    void Queue(std::vector<Burst> bursts);
    // Writes what is due; returns when the next byte is due, if any is waiting.
    std::optional<TimePoint> Flush(TimePoint now);
    // The next byte due ends an answer.
    bool LastByteNext() const;
    void HandleInput(const char *data, std::size_t count, TimePoint now);
    // Pacing: hands the device what has arrived by now; returns when the next byte is due.
    std::optional<TimePoint> ReleaseInput(TimePoint now);
    void Feed(const char *data, std::size_t count, TimePoint now);
    void CloseLine();
    void SaveState();
    void WriteTrace(const std::string &line);
    void WriteFirmware(const std::string &image);
    bool WaitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout) const;
    void RequestPower(bool on);
    // Thread only: carries out what PowerOn and PowerOff asked for.
    void ApplyPowerRequests(bool &powered, TimePoint now);

    SimOptions m_options;
    std::unique_ptr<DeviceModel> m_model;
    std::vector<std::pair<std::string, std::string>> m_presets;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;

    int m_fd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    bool m_isPty = false;
    bool m_linkMade = false;
    std::string m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_dropped{false};
    std::atomic<long long> m_received{0};
    std::deque<Pending> m_out; // thread only
    TimePoint m_lineFreeAt;    // thread only
    std::string m_in;          // thread only: received, not yet through the paced line
    TimePoint m_inNextDue;     // thread only: when the first byte of m_in has arrived
    TimePoint m_inLineFreeAt;  // thread only
    std::chrono::nanoseconds m_byteTime{0};
    std::deque<bool> m_powerRequests; // guarded by m_mutex
    std::atomic<bool> m_powerByHand{false};
};

} // namespace m845::devsim
