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
    , m_tool(std::make_unique<TWindowSettings>(window, session.Applier(), session.Sequencer(),
                                             *m_recorder))
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

    m_previousLoad = window.LoadConfiguration;
    window.LoadConfiguration = [this] {
        if (m_previousLoad)
            m_previousLoad();
        LoadConfig();
    };
    m_previousTexts = window.ApplyMoreTexts;
    window.ApplyMoreTexts = [this](TTextStep step) {
        if (m_previousTexts)
            m_previousTexts(step);
        if (step == TTextStep::Captions)
            ApplyTexts();
    };
    m_previousClose = window.BeforeClose;
    window.BeforeClose = [this] {
        if (m_previousClose)
            m_previousClose();
        SaveConfig();
        ReleaseConfig();
    };
}

TConfigCommands::~TConfigCommands()
{
    m_window.LoadConfiguration = m_previousLoad;
    m_window.ApplyMoreTexts = m_previousTexts;
    m_window.BeforeClose = m_previousClose;
}

void TConfigCommands::LoadConfig()
{
    TIniFile ini;
    const TFileOutcome read = ReadConfigFile(m_path, ini);
    m845::LoadConfig(ini, m_session.Panel(), *m_tool);
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
    const TFileOutcome saved = SaveConfigFile(path, m_session.Panel(), *m_tool);
    if (saved.ok)
        return true;
    TDialogs::Warning(&m_window, Lang("lang_Main_AppTitle"),
                      FromStd(LangFormat("info_CfgWriteFail", {path})), FromStd(saved.reason));
    return false;
}

void TConfigCommands::ApplyAtRunTime(const TIniFile &ini)
{
    const bool wasChinese = m_tool->IsChinese();
    IPanel &panel = m_session.Panel();
    m845::LoadConfig(ini, panel, *m_tool);
    // The texts step re-runs the work-mode reaction, which resets the heartbeat destination;
    // a file opened at run time keeps its own.
    const int heartSnd = panel.ComboIndex(PanelCombo::HeartSnd);
    if (m_tool->IsChinese() != wasChinese)
        m_window.mni_MenuClick(m_tool->IsChinese() ? QStringLiteral("mni_Cn")
                                                   : QStringLiteral("mni_En"));
    else if (m_window.ApplyMoreTexts) {
        for (const TTextStep step :
             {TTextStep::WorkMode, TTextStep::Captions, TTextStep::ComboItems, TTextStep::Hints})
            m_window.ApplyMoreTexts(step);
    }
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
    ApplyAtRunTime(TIniFile());
    m_window.Log().LogInfo(LangText("info_DfltLoaded"));
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
