#pragma once

// The simulated device without any I/O: it is fed the bytes that arrive, each batch with
// the time it arrived, and answers with bursts, each a run of bytes that leaves in one write
// at a given time. Time only moves when the caller says so, so tests need no clock.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/paramstore.h"
#include "devsim/xmodemreceiver.h"

namespace m845::devsim {

using SimClock = std::chrono::steady_clock;
using TimePoint = SimClock::time_point;
using Millis = std::chrono::milliseconds;

struct Burst
{
    TimePoint at;
    std::string bytes;
};

enum class DeviceMode {
    PoweredOff,
    DataTransfer,
    EscapeSeen, // "+++" answered with "a"; waiting for the "a" that completes the entry
    Command,
    Restarting,
    BootMenu,
    BootConfirm,
    XmodemWaiting, // sending "C" until the first block
    XmodemReceiving,
};

[[nodiscard]] std::string_view ModeName(DeviceMode mode);

struct ModelOptions
{
    bool boot = false;       // the first power-on enters the boot loader
    bool reloadHeld = false; // every start enters the boot loader (Reload button held down)
    bool silentUntilEntry = false;
    bool mute = false;   // hears everything, answers nothing (a hung device)
    bool garble = false; // every answer arrives as a line at another baud rate reads it
    std::set<std::string> errCommands;   // upper-case names always answered "+ERR:"
    std::set<std::string> splitCommands; // upper-case names answered in two bursts
    // Upper-case names whose set is answered "OK" and not kept: a device that only seems to
    // take a value.
    std::set<std::string> ignoreCommands;
    int nakEvery = 0;
    // Silence around "+++" that makes it an escape rather than data, as modems require;
    // the same silence closes a frame of data-transfer traffic.
    Millis guardTime{50};
    Millis entryWindow{3000}; // how long "a" may take after "+++" was answered
    Millis restartTime{500};  // from the answer to AT+Z to the start-up message
    Millis splitGap{100};
    Millis startRequestInterval{1000};
    Millis blockTimeout{1000}; // an unfinished XModem block is refused after this silence
    // The signal: each CSQ answer takes the next of csqList (round and round) or, with
    // csqWalk, wanders a few steps from the last one and now and then reports no signal.
    std::vector<int> csqList;
    bool csqWalk = false;
    std::uint32_t seed = 1; // of the walk and of the link drops
    // A socket's link comes up this long after the socket is enabled in a socket mode (and
    // after every start), and with linkDropEvery drops about that often, coming up again a
    // linkDelay (at least a second) later.
    Millis linkDelay{0};
    Millis linkDropEvery{0};
};

inline constexpr std::string_view kBootMenu
    = "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>";
inline constexpr std::string_view kBootConfirm = "F\r\nSure to update, 'Y' or 'N'\r\n>";

class DeviceModel final
{
public:
    explicit DeviceModel(ModelOptions options = {}, ParamStore store = {});

    // Power applied: the start-up message, or the boot menu.
    [[nodiscard]] std::vector<Burst> PowerOn(TimePoint now);
    // Power cut (simpower.cpp): whatever it was doing is forgotten, the parameters stay.
    void PowerOff();
    [[nodiscard]] std::vector<Burst> Receive(std::string_view bytes, TimePoint now);
    // Runs whatever has fallen due by now (guard times, "C" requests, restarts).
    [[nodiscard]] std::vector<Burst> Tick(TimePoint now);
    // When Tick next has something to do; nullopt while only input can move the device.
    [[nodiscard]] std::optional<TimePoint> NextDeadline() const;

    [[nodiscard]] DeviceMode Mode() const { return m_mode; }
    [[nodiscard]] ParamStore &Store() { return m_store; }
    [[nodiscard]] const ParamStore &Store() const { return m_store; }
    // Every command line received (without its line end), and the entry steps "+++" and "a".
    [[nodiscard]] const std::vector<std::string> &Trace() const { return m_trace; }
    // The last complete firmware image, padding included.
    [[nodiscard]] const std::string &Firmware() const { return m_firmware; }
    [[nodiscard]] int FirmwareImages() const { return m_firmwareCount; }
    // When the boot loader last asked for the file with "C"; nullopt before it ever did.
    [[nodiscard]] std::optional<TimePoint> LastStartRequest() const { return m_lastStartRequest; }

    std::function<void(const std::string &)> onTrace;
    std::function<void()> onStoreChanged;
    std::function<void(const std::string &)> onFirmware;

    // The help text the device answers to AT+H.
    [[nodiscard]] static std::string HelpText();

private:
    void RunDue(TimePoint now, std::vector<Burst> &out);
    void Send(TimePoint at, std::string bytes, std::vector<Burst> &out);
    void AddTrace(const std::string &line);

    void StartApplication(TimePoint now, std::vector<Burst> &out);
    void StartBootLoader(TimePoint now, std::vector<Burst> &out);
    void BeginRestart(TimePoint now, bool intoApplication);
    void EnterEscape(TimePoint at, DeviceMode returnTo, std::vector<Burst> &out);

    void ReceiveData(std::string_view bytes, TimePoint now, std::vector<Burst> &out);
    void CloseFrame(TimePoint at, std::vector<Burst> &out);
    void ReceiveCommand(std::string_view bytes, TimePoint now, std::vector<Burst> &out);
    void ProcessLine(const std::string &line, TimePoint now, std::vector<Burst> &out);
    [[nodiscard]] std::string Answer(const std::string &line, TimePoint now, std::string &name);
    [[nodiscard]] std::string RunAction(const std::string &name, bool hasValue,
                                        const std::string &value, TimePoint now);
    void ReceiveBoot(std::string_view bytes, TimePoint now, std::vector<Burst> &out);
    void ReceiveXmodem(std::string_view bytes, TimePoint now, std::vector<Burst> &out);
    void FinishXmodem(TimePoint now, std::vector<Burst> &out);
    [[nodiscard]] bool Quiet() const { return m_options.silentUntilEntry && !m_entered; }
    // What a read-only command reports now: the signal moves on, a link follows its socket.
    [[nodiscard]] std::string ReadOnlyValue(const std::string &name, TimePoint now);
    void StepSignal();
    // Follows the sockets' switches and the work mode: a socket newly wanting a link gets it
    // after the delay; drops that have fallen due are played.
    void UpdateLinks(TimePoint now);
    void ScheduleDrop(std::size_t socket);

    ModelOptions m_options;
    ParamStore m_store;
    DeviceMode m_mode = DeviceMode::PoweredOff;
    bool m_bootOnNextStart = false;

    std::optional<TimePoint> m_lastRx;
    bool m_entered = false; // the entry pair has completed at least once

    std::string m_frame; // data-transfer bytes not yet packed
    bool m_frameAfterSilence = false;

    std::string m_line; // command-mode bytes up to the line end
    bool m_lineAfterSilence = false;
    bool m_swallowLf = false;
    bool m_lineOverflow = false;

    DeviceMode m_escapeReturn = DeviceMode::DataTransfer;
    TimePoint m_escapeUntil;

    TimePoint m_restartAt;
    bool m_restartIntoApplication = false;

    XmodemReceiver m_xmodem;
    TimePoint m_nextStartRequest;
    std::optional<TimePoint> m_lastStartRequest;

    struct LinkTrack
    {
        bool wanted = false;
        TimePoint upAt;
        std::optional<TimePoint> dropAt;
    };
    std::array<LinkTrack, 4> m_links{};
    std::mt19937 m_random;
    std::size_t m_csqIndex = 0;
    int m_csqLevel = 24;

    std::vector<std::string> m_trace;
    std::string m_firmware;
    int m_firmwareCount = 0;
};

} // namespace m845::devsim
