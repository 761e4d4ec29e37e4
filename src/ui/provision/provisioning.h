#pragma once

// One provisioning run without a window on screen: read a device into a configuration file,
// or write a file into a device and read every written value back. The hidden main window,
// its parameter panel and the sequencer do the work, driven as the buttons drive them, so the
// results are those of the buttons; the run follows the sequencer's outcomes. The window's own
// configuration file and language file are neither read nor written.

#include <cstdint>
#include <functional>
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
enum class TLogKind : std::uint8_t;

inline constexpr int kDefaultProvisionTimeout = 60;

struct TProvisionRequest
{
    enum class TAction : std::uint8_t { Read, Write };
    TAction action = TAction::Read;
    std::string port;
    std::string file;
    // Default: the file's (for a write), else 115200.
    std::optional<int> baud;
    int timeoutSeconds = kDefaultProvisionTimeout;
    bool quiet = false;
    // ANSI colours as the log's, for a terminal.
    bool colour = false;
    std::optional<bool> chinese;
    // Test seams: the pause before each queued line and the reply timer, in milliseconds.
    std::optional<int> pauseMs;
    std::optional<int> replyMs;
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

private:
    // What the device is being asked for, which decides what a cut-off means.
    enum class TPhase : std::uint8_t { Read, Write, Check };
    // How a part of the run ended: as the sequencer reports it, or the run's time was up.
    struct TEnd
    {
        std::optional<TRunOutcome> outcome;
        bool timeUp = false;
        [[nodiscard]] bool Finished() const
        {
            return outcome && (outcome->end == TRunEnd::Completed
                               || outcome->end == TRunEnd::Refused);
        }
    };

    [[nodiscard]] int RunInWindow();
    [[nodiscard]] bool LoadFile(TIniFile &ini);
    [[nodiscard]] bool CheckFolder();
    [[nodiscard]] bool PreparePort();
    void Settle();
    [[nodiscard]] int ReadDevice(ILinkSettings &settings, int fileDelay);
    [[nodiscard]] int WriteDevice();
    // Runs start (a button press, a queue) and the event loop until that run ends or the time
    // of the whole run is up; a run resting on a block it did not understand is moved on as a
    // reply timer tick would, twice at most.
    [[nodiscard]] TEnd WaitForRun(const std::function<void()> &start, TDeviceAnswers &answers);
    [[nodiscard]] int ReportCut(const TEnd &end, TPhase phase, int acknowledged = 0,
                                int total = 0);
    void OnRunEnded(const TRunOutcome &outcome);
    void OnLogEntry(TLogKind kind, const QString &text);
    void PrintProgress(TLogKind kind, const QString &text);
    void PrintResult(const std::vector<std::string> &lines);
    void Error(const std::string &text);

    TProvisionRequest m_request;
    std::ostream &m_progress;
    std::ostream &m_result;
    QDeadlineTimer m_deadline;
    TFrm_Main *m_window = nullptr;
    TDeviceSession *m_session = nullptr;
    QEventLoop *m_loop = nullptr;
    QEventLoop *m_settleLoop = nullptr;
    QTimer m_quietTimer;
    // The run being waited for, and where its answers go.
    int m_runId = 0;
    TDeviceAnswers *m_answers = nullptr;
    std::optional<TRunOutcome> m_outcome;
    bool m_opening = false;
    // The device has answered something since the port opened.
    bool m_heard = false;
};

} // namespace m845
