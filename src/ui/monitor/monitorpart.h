#pragma once

// Joins the signal monitor to the window: the panel above the log, the sequencer's runs and
// the port's state as the monitor's events, the command buttons' presses through it, the log
// display kept free of its traffic, its settings in a section of the configuration file of
// its own, and "Save signal log as...".

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include <QObject>
#include <QTimer>

#include "ui/common/qttimer.h"
#include "ui/common/textsetters.h"
#include "ui/window/devicesession.h"

class QSaveFile;

namespace m845 {

class TConfigCommands;
class TFrm_Main;
class TIniFile;
class TMonitorPanel;
class TSequencerMonitorHost;
class TSignalMonitor;
enum class TLogKind : std::uint8_t;

class TMonitorPart final : public QObject, private ILineHolder
{
    Q_OBJECT
public:
    // Create it from the window's wiring step after the session (and the configuration, when
    // there is one), and hand it to the window with AdoptPart.
    TMonitorPart(TFrm_Main &window, TDeviceSession &session, TConfigCommands *config = nullptr);
    ~TMonitorPart() override;
    TMonitorPart(const TMonitorPart &) = delete;
    TMonitorPart &operator=(const TMonitorPart &) = delete;

    [[nodiscard]] TSignalMonitor &Monitor() const { return *m_monitor; }
    [[nodiscard]] TMonitorPanel &Panel() const { return *m_panel; }
    // The samples of this session as CSV into a file the technician chooses, written a part
    // at a time while the window goes on; the log says when it is done.
    void SaveSignalLog();
    // The longest handling of a monitor's event (the end of a poll with its panel update, a
    // run's start, a refresh) so far, for the benchmark.
    [[nodiscard]] qint64 LongestUpdateNs() const { return m_longestUpdateNs; }

private:
    // ILineHolder: presses and other parts' runs wait while the monitor's own query is out.
    void SubmitPress(int tag) override;
    void SubmitAction(std::function<void()> action) override;

    [[nodiscard]] bool HiddenFromLog(TLogKind kind, std::string_view data) const;
    void LoadSettings(const TIniFile &ini);
    void SaveSettings(TIniFile &ini) const;
    void Refresh();
    // Runs a handling of the monitor's and keeps its time for LongestUpdateNs.
    void Timed(const std::function<void()> &handle);
    void SaveChunk();
    void EndSave(bool written);

    TFrm_Main &m_window;
    TDeviceSession &m_session;
    TQtTimer m_timer;
    std::unique_ptr<TSequencerMonitorHost> m_host;
    std::unique_ptr<TSignalMonitor> m_monitor;
    TMonitorPanel *m_panel = nullptr;
    // The times since the links' last changes and the trend's moving edge.
    QTimer m_clock;
    QString m_folder;
    std::unique_ptr<QSaveFile> m_save;
    std::int64_t m_saveAfter = 0; // the last sample written
    std::int64_t m_saveUntil = 0;
    std::size_t m_saveRows = 0;
    int m_observer = 0;
    qint64 m_longestUpdateNs = 0;
};

} // namespace m845
