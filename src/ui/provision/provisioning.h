#pragma once

// Provisioning runs without a window on screen: read a device into a configuration file, write
// a file into a device and read every written value back, or only compare the device with a
// file; each optionally after a firmware upgrade, with a report row per device. One run serves
// one device, or, as a station, one device after another on the same port. The hidden main
// window, its parameter panel and the sequencer do the work, driven as the buttons drive them,
// so the results are those of the buttons; the run follows the sequencer's outcomes. The
// window's own configuration file and language file are neither read nor written.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include "protocol/sequencer.h"
#include "provision/provisionplan.h"

class QEventLoop;
class QString;

namespace m845 {

class ILinkSettings;
class TDeviceSession;
class TFrm_Main;
class TIniFile;
class TStationSignals;
enum class TFirmwareStep : std::uint8_t;
enum class TLogKind : std::uint8_t;
enum class TStationNotice : std::uint8_t;

inline constexpr int kDefaultProvisionTimeout = 60;

struct TProvisionRequest
{
    // None: a firmware upgrade alone.
    enum class TAction : std::uint8_t { Read, Write, Verify, None };
    TAction action = TAction::Read;
    std::string port;
    // The file to read into (or a folder "DIR/"), to write or to compare with.
    std::string file;
    // An image to upgrade the device with before the job.
    std::string firmware;
    std::optional<std::string> expectVersion;
    // Where each device's row is appended; empty for none.
    std::string report;
    // Devices one after another until Ctrl+C.
    bool station = false;
    // Only the checks made before the port opens: the file, the folder, the image, the report.
    bool checkOnly = false;
    // Put before every line this run prints ("ttyUSB0" of several ports at once).
    std::string prefix;
    // Default: the file's (for a write or a verification), else 115200.
    std::optional<int> baud;
    // For each device.
    int timeoutSeconds = kDefaultProvisionTimeout;
    bool quiet = false;
    // ANSI colours as the log's, for a terminal.
    bool colour = false;
    // A station rings the terminal's bell at each verdict.
    bool bell = false;
    std::optional<bool> chinese;
    // Test seams: the pause before each queued line and the reply timer, in milliseconds.
    std::optional<int> pauseMs;
    std::optional<int> replyMs;
    // A station's pause between two probes of the line.
    int probeMs = 3000;
    // How long the line must be quiet after opening before the run starts.
    int settleMs = 300;
};

class TProvisioning final : public QObject
{
    Q_OBJECT
public:
    // progress takes the log's lines and the run's errors; result the refused and different
    // values, one per line.
    TProvisioning(TProvisionRequest request, std::ostream &progress, std::ostream &result);
    ~TProvisioning() override;
    TProvisioning(const TProvisioning &) = delete;
    TProvisioning &operator=(const TProvisioning &) = delete;

    // Needs a QApplication; creates the built-in language list when none exists.
    [[nodiscard]] int Run();
    // A station ends after the device in hand, as Ctrl+C makes it.
    void RequestStop();

private:
    // What the device is being asked for, which decides what a cut-off means.
    enum class TPhase : std::uint8_t { Read, Write, Check, Untouched };
    // How a part of the run ended: as the sequencer reports it, the run's time was up, or a
    // station was told to stop (or a device came in its boot loader) while it waited.
    struct TEnd
    {
        std::optional<TRunOutcome> outcome;
        bool timeUp = false;
        bool interrupted = false;
        [[nodiscard]] bool Finished() const
        {
            return outcome && (outcome->end == TRunEnd::Completed
                               || outcome->end == TRunEnd::Refused);
        }
    };
    // What a station's look at the line found.
    struct TProbe
    {
        bool answered = false;
        // IMEI or MEID; empty when the device answered only the entry pair.
        std::string identity;
    };
    // One device's run, from its start to its report row.
    struct TDevice
    {
        std::chrono::steady_clock::time_point start;
        // Every value the device reported, by command name.
        std::map<std::string, std::string> seen;
        std::vector<std::string> details;
        bool collecting = false;
    };

    // provisioning.cpp: setting up, the run of one device, output.
    [[nodiscard]] int RunInWindow();
    [[nodiscard]] bool CheckInput(TIniFile &ini);
    [[nodiscard]] bool LoadFile(TIniFile &ini);
    [[nodiscard]] int PrepareJob(TIniFile &ini);
    [[nodiscard]] bool PreparePort();
    [[nodiscard]] bool OpenPort();
    void Settle();
    // arrived: a station saw the device come; what it learnt then is the device's.
    void BeginDevice(bool arrived = false);
    [[nodiscard]] int RunDevice();
    // False when the row could not be appended (the message is out).
    [[nodiscard]] bool WriteRow(int code);
    [[nodiscard]] std::string Seen(const std::string &name) const;
    [[nodiscard]] std::string IdentitySeen() const;
    // Runs start (a button press, a queue) and the event loop until that run ends or the time
    // of the device is up; a run resting on a block it did not understand is moved on as a
    // reply timer tick would, twice at most.
    [[nodiscard]] TEnd WaitForRun(const std::function<void()> &start, TDeviceAnswers &answers);
    [[nodiscard]] TEnd WaitForQueries(const std::vector<TCmd> &queries, TDeviceAnswers &answers);
    [[nodiscard]] int ReportCut(const TEnd &end, TPhase phase, int acknowledged = 0,
                                int total = 0);
    void OnRunEnded(const TRunOutcome &outcome);
    void OnLogEntry(TLogKind kind, const QString &text);
    void OnFirmwareStep(TFirmwareStep step);
    void PrintProgress(TLogKind kind, const QString &text);
    void PrintFindings(const std::vector<TFinding> &findings);
    void Error(const std::string &text);
    void Line(std::ostream &out, const std::string &text, const char *colour = nullptr);

    // provisionjobs.cpp: what is done to a device.
    [[nodiscard]] int ReadDevice();
    [[nodiscard]] int WriteDevice();
    [[nodiscard]] int VerifyDevice();
    // The findings printed, or the line that all compared values are equal.
    [[nodiscard]] int Conclude(const std::vector<TFinding> &findings, const char *equalKey,
                               std::size_t compared);
    [[nodiscard]] int QueryInfo();
    void QuerySignal();
    [[nodiscard]] int CheckVersion();
    [[nodiscard]] int UpgradeDevice();
    [[nodiscard]] bool ChooseFirmware();
    [[nodiscard]] int AwaitDevice();
    [[nodiscard]] TProbe Probe();
    // The event loop for ms, or until a wait is interrupted (false), or, untilTraffic, until the
    // device says something (a greeting as it starts), then until the line is quiet again.
    bool Pause(int ms, bool untilTraffic = false);

    // provisionstation.cpp: one device after another.
    [[nodiscard]] int RunStation();
    // Opens the port again after it went away; says so once while it is missing.
    [[nodiscard]] bool EnsurePort();
    void Announce(TStationNotice notice, const std::string &identity);
    void ShowVerdict(int code);
    void InterruptWaits();

    TProvisionRequest m_request;
    std::ostream &m_progress;
    std::ostream &m_result;
    QDeadlineTimer m_deadline;
    TFrm_Main *m_window = nullptr;
    TDeviceSession *m_session = nullptr;
    ILinkSettings *m_settings = nullptr;
    QEventLoop *m_loop = nullptr;
    QEventLoop *m_settleLoop = nullptr;
    QTimer m_quietTimer;
    // The run being waited for, and where its answers go.
    int m_runId = 0;
    TDeviceAnswers *m_answers = nullptr;
    std::optional<TRunOutcome> m_outcome;
    // The file's pause, which a read's file keeps whatever a test sets for the run.
    int m_fileDelay = 0;
    bool m_opening = false;
    // The device has answered something since its run began.
    bool m_heard = false;
    TDevice m_device;
    // The firmware upgrade's progress for the device in hand.
    bool m_menuSeen = false;
    bool m_transferStarted = false;
    bool m_transferDone = false;
    // A station: waits that give way to Ctrl+C (or to a boot menu) and the request to stop.
    bool m_interruptible = false;
    bool m_interrupted = false;
    bool m_stopRequested = false;
    bool m_portMissingTold = false;
    // A probe's traffic, repeated every few seconds, is not shown.
    bool m_probing = false;
    bool m_wakeOnTraffic = false;
    bool m_trafficSeen = false;
    std::unique_ptr<TStationSignals> m_signals;
};

} // namespace m845
