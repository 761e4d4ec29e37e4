#pragma once

// One provisioning run without a window on screen: read a device into a configuration file,
// or write a file into a device and read every written value back. The hidden main window,
// its parameter panel and the sequencer do the work, driven as the buttons drive them, so the
// results are those of the buttons. The window's own configuration file and language file are
// neither read nor written.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class QEventLoop;
class QString;

namespace m845 {

class ILinkSettings;
class TDeviceSession;
class TFrm_Main;
class TIniFile;
enum class TLogKind : std::uint8_t;

inline constexpr int kDefaultProvisionTimeout = 60;

// The exit codes of a run.
enum TProvisionExit : int {
    kProvisionDone = 0,
    kProvisionDiffers = 1, // refused lines or values that read back different
    kProvisionBadInput = 2,
    kProvisionNoPort = 3,
    kProvisionNoAnswer = 4,
};

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
    enum class TEnd : std::uint8_t { Complete, NoAnswer, TimeOut, PortLost };
    struct TWritten
    {
        std::string name;
        std::string value;
    };

    [[nodiscard]] int RunInWindow();
    [[nodiscard]] bool LoadFile(TIniFile &ini);
    [[nodiscard]] bool CheckFolder();
    [[nodiscard]] bool PreparePort();
    void Settle();
    [[nodiscard]] int ReadDevice(ILinkSettings &settings, int fileDelay);
    [[nodiscard]] int WriteDevice();
    // Runs start (a button press, a queue) and the event loop until the run ends or the time
    // of the whole run is up.
    [[nodiscard]] TEnd WaitForEnd(const std::function<void()> &start);
    [[nodiscard]] int ReportEnd(TEnd end);
    void Finish(TEnd end);
    void RestartWatchdog(int ms = -1);
    void WatchdogTimeout();
    void OnLogEntry(TLogKind kind, const QString &text);
    void NoteRefusal(const std::string &block);
    void NoteValue(std::string_view name, std::string_view value);
    void PrintProgress(TLogKind kind, const QString &text);
    void Error(const std::string &text);

    TProvisionRequest m_request;
    std::ostream &m_progress;
    std::ostream &m_result;
    QDeadlineTimer m_deadline;
    TFrm_Main *m_window = nullptr;
    TDeviceSession *m_session = nullptr;
    QEventLoop *m_loop = nullptr;
    QEventLoop *m_settleLoop = nullptr;
    QTimer m_watchdog;
    QTimer m_quietTimer;
    std::optional<TEnd> m_end;
    bool m_waiting = false;
    bool m_opening = false;
    int m_kicks = 0;
    // Refusals of the current phase, by command, in the order they came.
    std::vector<std::pair<std::string, std::string>> m_refused;
    std::map<std::string, std::string> m_values;
};

} // namespace m845
