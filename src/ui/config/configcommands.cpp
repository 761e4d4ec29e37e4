#include "ui/config/configcommands.h"

#include <cerrno>
#include <cstring>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "config/config.h"
#include "config/inifile.h"
#include "lang/langlist.h"
#include "support/paths.h"
#include "ui/common/dialogs.h"
#include "ui/common/uitext.h"
#include "ui/config/windowsettings.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sessionrecorder.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

using detail::Lang;

QString FromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TConfigCommands::TConfigCommands(TFrm_Main &window, TDeviceSession &session)
    : m_window(window)
    , m_session(session)
    , m_recorder(std::make_unique<TSessionRecorder>(window))
    , m_tool(std::make_unique<TWindowSettings>(window, session.Sequencer(), *m_recorder))
    , m_path(DataFolder() + std::string(kConfigFileName))
    , m_lastFolder(QFileInfo(FromStd(m_path)).absolutePath())
{
    QAction *exit = window.findChild<QAction *>(QStringLiteral("mni_Exit"));
    auto *file = exit != nullptr ? qobject_cast<QMenu *>(exit->parent()) : nullptr;
    const auto item = [this, file, exit](const char *name, void (TConfigCommands::*click)()) {
        auto *action = new QAction(file);
        action->setObjectName(QString::fromLatin1(name));
        if (file != nullptr)
            file->insertAction(exit, action);
        connect(action, &QAction::triggered, this, click);
        return action;
    };
    m_mniLoadIni = item("mniLoadIni", &TConfigCommands::mniLoadIniClick);
    m_mniSaveIni = item("mniSaveIni", &TConfigCommands::mniSaveIniClick);
    m_mniLoadDflt = item("mniLoadDflt", &TConfigCommands::mniLoadDfltClick);
    m_mniLoadLastIni = item("mniLoadLastIni", &TConfigCommands::mniLoadLastIniClick);
    if (file != nullptr)
        file->insertSeparator(exit);

    connect(&window, &TFrm_Main::LoadingConfiguration, this, &TConfigCommands::LoadConfig);
    connect(&window, &TFrm_Main::ApplyingTexts, this, [this](TTextStep step) {
        if (step == TTextStep::Captions)
            ApplyTexts();
    });
    connect(&window, &TFrm_Main::Closing, this, [this] {
        SaveConfig();
        ReleaseConfig();
    });
}

TConfigCommands::~TConfigCommands() = default;

void TConfigCommands::LoadConfig()
{
    TIniFile ini;
    const TFileOutcome read = ReadConfigFile(m_path, ini);
    m845::LoadConfig(ini, m_session.Panel(), m_session.Applier(), *m_tool);
    emit ToolSettingsLoaded(ini);
    // Said once the stored language is in force; the defaults stand in for the file.
    if (!read.ok)
        m_window.Log().LogWarn(LangFormat("info_CfgReadFailDflt", {m_path, read.reason}));
}

void TConfigCommands::SaveConfig()
{
    if (m_released)
        return;
    static_cast<void>(SaveTo(m_path));
}

void TConfigCommands::ReleaseConfig()
{
    m_released = true;
}

bool TConfigCommands::SaveTo(const std::string &path)
{
    const TFileOutcome saved
        = SaveConfigFile(path, m_session.Panel(), m_session.Applier(), *m_tool,
                         [this](TIniFile &ini) { emit ToolSettingsSaving(ini); });
    if (saved.ok)
        return true;
    TDialogs::Warning(&m_window, Lang("lang_Main_AppTitle"),
                      FromStd(LangFormat("info_CfgWriteFail", {path})), FromStd(saved.reason));
    return false;
}

void TConfigCommands::ApplyAtRunTime(const TIniFile &ini)
{
    // The parameters only: the tool's own settings (language, port, recording, send key) stay
    // as the technician has them.
    IPanel &panel = m_session.Panel();
    LoadParameters(ini, panel, m_session.Applier());
    // The texts step re-runs the work-mode reaction, which resets the heartbeat destination;
    // a file opened at run time keeps its own.
    const int heartSnd = panel.ComboIndex(PanelCombo::HeartSnd);
    m_window.ApplyPartTexts();
    panel.SetComboIndex(PanelCombo::HeartSnd, heartSnd);
}

void TConfigCommands::LoadFile(const QString &path)
{
    TIniFile ini;
    const std::string file = path.toStdString();
    if (const TFileOutcome read = ReadConfigFile(file, ini); !read.ok || read.missing) {
        const std::string reason = read.ok ? std::string(std::strerror(ENOENT)) : read.reason;
        m_window.Log().LogWarn(LangFormat("info_CfgReadFail", {file, reason}));
        return;
    }
    ApplyAtRunTime(ini);
    m_window.Log().LogInfo(LangFormat("info_CfgLoaded", {file}));
    emit ParametersLoaded(path);
}

void TConfigCommands::mniLoadIniClick()
{
    const QString path = TDialogs::OpenFileName(&m_window, Lang("lang_mniLoadIni"), m_lastFolder,
                                                Lang("info_IniFilter"));
    if (path.isEmpty())
        return;
    m_lastFolder = QFileInfo(path).absolutePath();
    LoadFile(path);
}

void TConfigCommands::mniSaveIniClick()
{
    const QString path = TDialogs::SaveFileName(
        &m_window, Lang("lang_mniSaveIni"),
        QDir(m_lastFolder).filePath(FromStd(std::string(kConfigFileName))), Lang("info_IniFilter"),
        true, QStringLiteral("ini"));
    if (path.isEmpty())
        return;
    m_lastFolder = QFileInfo(path).absolutePath();
    if (SaveTo(path.toStdString()))
        m_window.Log().LogInfo(LangFormat("info_CfgSaved", {path.toStdString()}));
}

void TConfigCommands::mniLoadDfltClick()
{
    // As a first start without a file: the controls as built, the variant the program starts
    // with, the file's defaults, the texts. A default of "empty" then empties, as it did then.
    m_session.Panel().RestoreInitialState();
    m_session.Applier().LoadHardwareSign(THdVerSign::HdCedar);
    LoadParameters(TIniFile(), m_session.Panel(), m_session.Applier());
    m_window.ApplyPartTexts();
    m_window.Log().LogInfo(LangText("info_DfltLoaded"));
    emit ParametersLoaded({});
}

void TConfigCommands::mniLoadLastIniClick()
{
    LoadFile(FromStd(m_path));
}

void TConfigCommands::ApplyTexts()
{
    m_mniLoadIni->setText(Lang("lang_mniLoadIni"));
    m_mniSaveIni->setText(Lang("lang_mniSaveIni"));
    m_mniLoadDflt->setText(Lang("lang_mniLoadDflt"));
    m_mniLoadLastIni->setText(Lang("lang_mniLoadLastIni"));
    m_recorder->ApplyTexts();
}

} // namespace m845
