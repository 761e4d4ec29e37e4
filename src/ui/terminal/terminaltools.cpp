#include "ui/terminal/terminaltools.h"

#include <QPlainTextEdit>
#include <QSplitter>

#include "config/inifile.h"
#include "lang/langlist.h"
#include "ui/common/uitext.h"
#include "ui/config/configcommands.h"
#include "ui/terminal/findbar.h"
#include "ui/terminal/historycontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/quickcommands.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

using detail::Lang;

constexpr std::size_t kNamedSkips = 5;

const char *FaultKey(TEntryFault fault)
{
    switch (fault) {
    case TEntryFault::TooLong:
        return "info_EntryTooLong";
    case TEntryFault::NotUtf8:
        return "info_EntryNotUtf8";
    case TEntryFault::NotHex:
        return "info_EntryNotHex";
    case TEntryFault::Malformed:
        break;
    }
    return "info_EntryMalformed";
}

} // namespace

std::string SkippedEntriesText(const std::vector<TSkippedEntry> &skipped)
{
    std::string list;
    for (std::size_t i = 0; i < skipped.size() && i < kNamedSkips; ++i) {
        if (i > 0)
            list += ", ";
        list += "[" + skipped[i].section + "] " + skipped[i].key + " ("
                + LangText(FaultKey(skipped[i].fault)) + ")";
    }
    if (skipped.size() > kNamedSkips)
        list += ", +" + std::to_string(skipped.size() - kNamedSkips);
    return list;
}

TTerminalTools::TTerminalTools(TFrm_Main &window, TConfigCommands &config)
    : m_window(window)
    , m_config(config)
{
    TSendPane &pane = window.SendPane();
    m_history = new THistoryControl(pane);
    m_quick = new TQuickCommandBar(pane, &window);
    m_find = new TFindBar(*window.Log().Dialog(), &window);
    m_find->HoldView = [this](bool hold) {
        m_window.Log().HoldScroll(hold);
    };
    // The quick commands' row needs its room in the send pane, not in the log's.
    if (auto *dialog = window.findChild<QSplitter *>(QStringLiteral("rzspltrDialog"))) {
        QList<int> sizes = dialog->sizes();
        if (sizes.size() == 2 && sizes[0] > m_quick->maximumHeight()) {
            sizes[0] -= m_quick->maximumHeight();
            sizes[1] += m_quick->maximumHeight();
            dialog->setSizes(sizes);
        }
    }
    connect(m_quick, &TQuickCommandBar::Edited, this, [this] { m_defaultCommands = false; });

    connect(&config, &TConfigCommands::ToolSettingsLoaded, this, &TTerminalTools::Load);
    connect(&config, &TConfigCommands::ToolSettingsSaving, this, &TTerminalTools::Save);
    connect(&window, &TFrm_Main::ApplyingTexts, this, &TTerminalTools::ApplyTexts);
}

TTerminalTools::~TTerminalTools()
{
    m_find->HoldView = nullptr;
}

void TTerminalTools::Load(const TIniFile &ini)
{
    std::vector<TSkippedEntry> skipped;
    m_history->SetHistory(LoadHistory(ini, skipped));
    std::optional<std::vector<TQuickCommand>> commands = LoadQuickCommands(ini, skipped);
    m_defaultCommands = !commands;
    if (commands)
        m_quick->SetCommands(std::move(*commands));
    WarnSkipped(skipped);
}

void TTerminalTools::WarnSkipped(const std::vector<TSkippedEntry> &skipped)
{
    if (skipped.empty())
        return;
    m_window.Log().LogWarn(
        LangFormat("info_EntriesSkipped", {m_config.Path(), SkippedEntriesText(skipped)}));
}

void TTerminalTools::Save(TIniFile &ini) const
{
    SaveHistory(ini, m_history->History());
    SaveQuickCommands(ini, m_quick->Commands());
}

void TTerminalTools::ApplyTexts(TTextStep step)
{
    if (step != TTextStep::Captions)
        return;
    if (m_defaultCommands)
        m_quick->SetCommands(DefaultQuickCommands());
    m_history->ApplyTexts();
    m_quick->ApplyTexts();
    m_find->ApplyTexts();
}

} // namespace m845
