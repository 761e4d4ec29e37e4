#pragma once

// The configuration file in the window: loaded in the creation step, saved in the close
// step, and the File menu's commands that open, save, reset and reload it at run time.

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "ui/common/textsetters.h"

class QAction;

namespace m845 {

class TDeviceSession;
class TFrm_Main;
class TIniFile;
class TSessionRecorder;
class TWindowSettings;

class TConfigCommands final : public QObject
{
    Q_OBJECT
public:
    // Hooks itself into the window's creation and close steps: create it from the window's
    // wiring step after the session, and hand it to the window with AdoptPart.
    TConfigCommands(TFrm_Main &window, TDeviceSession &session);
    ~TConfigCommands() override;
    TConfigCommands(const TConfigCommands &) = delete;
    TConfigCommands &operator=(const TConfigCommands &) = delete;

    // DataFolder() + M845Cfg.ini. A file that cannot be read warns and gives the defaults.
    void LoadConfig();
    // A save that fails says so in a message box; the window closes all the same.
    void SaveConfig();
    void ReleaseConfig();

    // The File menu's commands. A loaded file keeps its work mode (start-up selects NET).
    void mniLoadIniClick();
    void mniSaveIniClick();
    void mniLoadDfltClick();
    void mniLoadLastIniClick();

    void ApplyTexts();

    [[nodiscard]] const std::string &Path() const { return m_path; }
    [[nodiscard]] TSessionRecorder &Recorder() const { return *m_recorder; }

signals:
    // The window's parts keep settings of their own in sections of their own: read at start,
    // written with every save. A file opened at run time changes none of them.
    void ToolSettingsLoaded(const m845::TIniFile &ini);
    void ToolSettingsSaving(m845::TIniFile &ini);
    // A file opened at run time (or the defaults, file empty) is in the panel, texts and all.
    void ParametersLoaded(const QString &file);

private:
    void ApplyAtRunTime(const TIniFile &ini);
    void LoadFile(const QString &path);
    [[nodiscard]] bool SaveTo(const std::string &path);

    TFrm_Main &m_window;
    TDeviceSession &m_session;
    std::unique_ptr<TSessionRecorder> m_recorder;
    std::unique_ptr<TWindowSettings> m_tool;
    std::string m_path;
    bool m_released = false;
    QString m_lastFolder;
    QAction *m_mniLoadIni = nullptr;
    QAction *m_mniSaveIni = nullptr;
    QAction *m_mniLoadDflt = nullptr;
    QAction *m_mniLoadLastIni = nullptr;
};

} // namespace m845
