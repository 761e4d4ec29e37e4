#pragma once

// The terminal's tools beyond the send box itself: the command history, the quick commands
// and find in the log, joined to the window and kept in sections of their own in the
// configuration file.

#include <memory>
#include <vector>

#include <QObject>

#include "ui/common/textsetters.h"
#include "ui/terminal/terminallists.h"

namespace m845 {

class TConfigCommands;
class TFindBar;
class TFrm_Main;
class THistoryControl;
class TIniFile;
class TQuickCommandBar;

class TTerminalTools final : public QObject
{
    Q_OBJECT
public:
    // Create it from the window's wiring step after the configuration commands, and hand it
    // to the window with AdoptPart.
    TTerminalTools(TFrm_Main &window, TConfigCommands &config);
    ~TTerminalTools() override;
    TTerminalTools(const TTerminalTools &) = delete;
    TTerminalTools &operator=(const TTerminalTools &) = delete;

    [[nodiscard]] THistoryControl &History() const { return *m_history; }
    [[nodiscard]] TQuickCommandBar &Quick() const { return *m_quick; }
    [[nodiscard]] TFindBar &Find() const { return *m_find; }

private:
    void Load(const TIniFile &ini);
    void Save(TIniFile &ini) const;
    void ApplyTexts(TTextStep step);
    void WarnSkipped(const std::vector<TSkippedEntry> &skipped);

    TFrm_Main &m_window;
    TConfigCommands &m_config;
    THistoryControl *m_history = nullptr;
    TQuickCommandBar *m_quick = nullptr;
    TFindBar *m_find = nullptr;
    // The built-in commands, not yet stored or edited: named in the language shown.
    bool m_defaultCommands = true;
};

// One line for the log: the entries skipped and why, the first few of them by name.
[[nodiscard]] std::string SkippedEntriesText(const std::vector<TSkippedEntry> &skipped);

} // namespace m845
