#pragma once

// Reopen after replug: when the open port goes away, watch for it to come back (the same path,
// or the same /dev/serial/by-id name on another ttyUSB number) and open it again with the tool
// bar's settings. Switched in the open button's menu (on by default, kept in the configuration
// file). A port the user closed, or one that cannot be opened for another reason than being
// gone, is left alone.

#include <cstdint>
#include <optional>
#include <string>

#include <QObject>

#include "core/clock.h"
#include "ui/common/qttimer.h"
#include "ui/common/textsetters.h"
#include "ui/link/reopenwatch.h"

class QAction;
class QMenu;

namespace m845 {

class TConfigCommands;
class TFrm_Main;
class TIniFile;

inline constexpr std::string_view kTerminalSection = "Terminal";
// How often a lost port is looked for; the attempts themselves are a second apart at least.
inline constexpr int kReopenLookMs = 250;

class TReopenControl final : public QObject
{
    Q_OBJECT
public:
    // Create it from the window's wiring step after the configuration commands, and hand it
    // to the window with AdoptPart.
    TReopenControl(TFrm_Main &window, TConfigCommands &config);

    void SetEnabled(bool on);
    [[nodiscard]] bool Enabled() const;
    [[nodiscard]] bool Watching() const { return m_watch.Watching(); }
    [[nodiscard]] QAction *Switch() const { return m_mniReopen; }

    // Tests: another folder of stable names, a clock of their own, quicker looks and attempts.
    void SetByIdFolder(std::string folder) { m_byIdFolder = std::move(folder); }
    void SetClock(TMonotonicClock clock) { m_clock = std::move(clock); }
    void SetPace(int lookMs, std::int64_t spacingMs);
    // One look, as the timer makes it.
    void Look();

    void ApplyTexts();

private:
    void Opened();
    void Lost();
    void Load(const TIniFile &ini);
    void Save(TIniFile &ini) const;

    TFrm_Main &m_window;
    TReopenWatch m_watch;
    TQtTimer m_timer;
    TMonotonicClock m_clock = &SteadyMilliseconds;
    std::string m_byIdFolder = "/dev/serial/by-id";
    std::optional<TLostPort> m_open; // the port as it was opened last
    QMenu *m_pmOpenOpt = nullptr;
    QAction *m_mniReopen = nullptr;
};

} // namespace m845
