#include "ui/monitor/monitorpart.h"

#include <algorithm>
#include <limits>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QSplitter>

#include "config/inifile.h"
#include "firmware/firmwareupgrade.h"
#include "lang/langlist.h"
#include "monitor/sequencerhost.h"
#include "monitor/signalmonitor.h"
#include "monitor/signaltrend.h"
#include "support/paths.h"
#include "ui/common/dialogs.h"
#include "ui/common/uitext.h"
#include "ui/config/configcommands.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/monitor/monitorpanel.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

using detail::Lang;

constexpr std::string_view kSection = "SignalMonitor";
constexpr int kMaxPeriodSeconds = 600;

std::string Std(const QString &text)
{
    return text.toStdString();
}

} // namespace

TMonitorPart::TMonitorPart(TFrm_Main &window, TDeviceSession &session, TConfigCommands *config)
    : m_window(window)
    , m_session(session)
    , m_timer(0)
    , m_folder(QString::fromStdString(DataFolder()))
{
    TFirmwareUpgrade &firmware = session.Firmware().Upgrade();
    m_host = std::make_unique<TSequencerMonitorHost>(
        session.Sequencer(), session.Applier(), window.RcvTimer(), [&firmware] {
            // A chosen file means the boot loader may come up any moment: no AT line then.
            return firmware.HasFirmwareFile() || firmware.XmodemState() != TXmodemState::Idle;
        });
    m_monitor = std::make_unique<TSignalMonitor>(*m_host, window.Log(), m_timer);
    m_monitor->Changed = [this] {
        Refresh();
    };

    // Between the single-command buttons and the log. Built in its place: joining the window
    // later, it would change font and lay itself out again.
    auto *splitter = window.findChild<QSplitter *>(QStringLiteral("rzspltrBtnAndDialog"));
    m_panel = new TMonitorPanel(splitter);
    if (splitter != nullptr) {
        splitter->insertWidget(1, m_panel);
        splitter->setStretchFactor(1, 0);
    }
    m_panel->Show(*m_monitor);

    connect(m_panel, &TMonitorPanel::SwitchToggled, this, [this](bool on) {
        m_monitor->SetOn(on);
        if (on)
            m_clock.start();
        else
            m_clock.stop();
        if (auto *splitter = qobject_cast<QSplitter *>(m_panel->parentWidget())) {
            QList<int> sizes = splitter->sizes();
            if (sizes.size() == 3) {
                const int wanted = m_panel->WantedHeight();
                sizes[2] = std::max(0, sizes[2] + sizes[1] - wanted);
                sizes[1] = wanted;
                splitter->setSizes(sizes);
            }
        }
    });
    connect(m_panel, &TMonitorPanel::PeriodChanged, this,
            [this](int seconds) { m_monitor->SetCsqPeriod(seconds * 1000); });
    connect(m_panel, &TMonitorPanel::LogLineToggled, this, [this](bool on) {
        m_monitor->SetLogLines(on ? TMonitorLogLines::Compact : TMonitorLogLines::None);
    });
    connect(m_panel, &TMonitorPanel::SaveClicked, this, [this] { SaveSignalLog(); });
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, [this] { Refresh(); });

    connect(&session, &TDeviceSession::RunStarted, this, [this](int runId, TRunKind kind) {
        Timed([&] { m_monitor->OnRunStarted(runId, kind); });
    });
    connect(&session, &TDeviceSession::RunEnded, this,
            [this](const TRunOutcome &outcome) { Timed([&] { m_monitor->OnRunEnded(outcome); }); });
    connect(&session, &TDeviceSession::CommandRefused, this,
            [this](int runId, const QString &command, const QString &refusal) {
                m_monitor->OnCommandRefused(runId, Std(command), Std(refusal));
            });
    connect(&session, &TDeviceSession::BlockReceived, this,
            [this] { m_monitor->OnBlockReceived(); });
    connect(&session, &TDeviceSession::TerminalSent, this, [this] { m_monitor->OnTerminalSent(); });
    connect(&window.Link(), &TLinkControl::PortOpenChanged, this,
            [this](bool open) { m_monitor->PortOpenChanged(open); });
    m_observer = session.Applier().AddValueObserver(
        [this](std::string_view name, std::string_view value) { m_monitor->OnValue(name, value); });
    // Every press, and every other part's run, goes through the monitor, which holds it while
    // its own query is out.
    session.SetLineHolder(this);
    window.Log().HideFromDisplay = [this](TLogKind kind, std::string_view data) {
        return HiddenFromLog(kind, data);
    };
    // A poll every two seconds would make the progress bar flicker.
    session.ProgressHidden = [this] {
        return m_monitor->OwnRunActive();
    };

    connect(&window, &TFrm_Main::ApplyingTexts, this, [this](TTextStep step) {
        if (step == TTextStep::Captions)
            m_panel->ApplyTexts();
    });
    if (config != nullptr) {
        connect(config, &TConfigCommands::ToolSettingsLoaded, this,
                [this](const TIniFile &ini) { LoadSettings(ini); });
        connect(config, &TConfigCommands::ToolSettingsSaving, this,
                [this](TIniFile &ini) { SaveSettings(ini); });
    }
}

void TMonitorPart::SubmitPress(int tag)
{
    m_monitor->SubmitPress(tag);
}

void TMonitorPart::SubmitAction(std::function<void()> action)
{
    m_monitor->SubmitAction(std::move(action));
}

TMonitorPart::~TMonitorPart()
{
    m_window.Log().HideFromDisplay = nullptr;
    m_session.ProgressHidden = nullptr;
    m_session.SetLineHolder(nullptr);
    m_session.Applier().RemoveValueObserver(m_observer);
    m_monitor->Changed = nullptr;
    // A save still under way is dropped; the file as it was stays.
    m_save.reset();
    // The panel draws from the monitor: it goes with it, not later with the window.
    delete m_panel;
}

bool TMonitorPart::HiddenFromLog(TLogKind kind, std::string_view data) const
{
    if (!m_monitor->OwnsLine())
        return false;
    switch (kind) {
    case TLogKind::Tx:
        return m_monitor->IsOwnLine(data);
    case TLogKind::Rx:
        return true;
    case TLogKind::Info:
        return data == LangText("info_DoOver");
    case TLogKind::Warn:
        // The sequencer's words on the monitor's query; the monitor says once what matters.
        return data.find("+ERR:") != std::string_view::npos || data == LangText("info_NoAnswer")
               || data == LangText("info_NotUnderstood");
    case TLogKind::RxOther:
        // The echo of its own line (a device in data transfer sends it back).
        return m_monitor->IsOwnLine(data);
    }
    return false;
}

void TMonitorPart::Timed(const std::function<void()> &handle)
{
    QElapsedTimer clock;
    clock.start();
    handle();
    m_longestUpdateNs = std::max(m_longestUpdateNs, clock.nsecsElapsed());
}

void TMonitorPart::Refresh()
{
    Timed([this] { m_panel->Show(*m_monitor); });
}

void TMonitorPart::LoadSettings(const TIniFile &ini)
{
    const bool on = ini.ReadBool(kSection, "On", false);
    const int seconds = std::clamp(
        ini.ReadInteger(kSection, "CsqPeriod", kDefaultCsqPeriodMs / 1000), 1, kMaxPeriodSeconds);
    const bool logLine = ini.ReadBool(kSection, "LogLine", false);
    m_panel->SetSettings(on, seconds, logLine);
    m_monitor->SetCsqPeriod(seconds * 1000);
    m_monitor->SetLogLines(logLine ? TMonitorLogLines::Compact : TMonitorLogLines::None);
    m_monitor->SetOn(on);
    if (on)
        m_clock.start();
}

void TMonitorPart::SaveSettings(TIniFile &ini) const
{
    ini.WriteBool(kSection, "On", m_panel->SwitchOn());
    ini.WriteInteger(kSection, "CsqPeriod", m_panel->PeriodSeconds());
    ini.WriteBool(kSection, "LogLine", m_panel->LogLine());
}

void TMonitorPart::SaveSignalLog()
{
    if (m_save)
        return;
    const QString path
        = TDialogs::SaveFileName(&m_window, Lang("lang_btnMonitorSave"), m_folder,
                                 Lang("info_MonCsvFilter"), true, QStringLiteral("csv"));
    if (path.isEmpty() || m_monitor->Trend().Empty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    m_save = std::make_unique<QSaveFile>(path);
    m_saveAfter = std::numeric_limits<std::int64_t>::min();
    // The samples of the session until now; those that come meanwhile belong to the next file.
    m_saveUntil = m_monitor->Trend().Samples().back().atMs;
    m_saveRows = 0;
    if (!m_save->open(QIODevice::WriteOnly)
        || m_save->write(kSignalCsvHeader.data(), std::ssize(kSignalCsvHeader)) < 0) {
        EndSave(false);
        return;
    }
    m_panel->SetSaving(true);
    QTimer::singleShot(0, this, [this] { SaveChunk(); });
}

void TMonitorPart::SaveChunk()
{
    if (!m_save)
        return;
    // A long session is written a few thousand lines a turn, so that the window keeps moving.
    constexpr int kLinesPerTurn = 2000;
    const auto &samples = m_monitor->Trend().Samples();
    auto it = std::upper_bound(
        samples.begin(), samples.end(), m_saveAfter,
        [](std::int64_t at, const TSignalSample &sample) { return at < sample.atMs; });
    std::string chunk;
    for (int n = 0; it != samples.end() && it->atMs <= m_saveUntil && n < kLinesPerTurn;
         ++it, ++n) {
        AppendSignalCsvLine(*it, chunk);
        m_saveAfter = it->atMs;
        ++m_saveRows;
    }
    if (m_save->write(chunk.data(), std::ssize(chunk)) < 0) {
        EndSave(false);
        return;
    }
    if (it == samples.end() || it->atMs > m_saveUntil) {
        EndSave(m_save->commit());
        return;
    }
    QTimer::singleShot(0, this, [this] { SaveChunk(); });
}

void TMonitorPart::EndSave(bool written)
{
    const std::string path = Std(m_save->fileName());
    if (written)
        m_window.Log().LogInfo(LangFormat("info_MonSaved", {path, std::to_string(m_saveRows)}));
    else
        m_window.Log().LogWarn(LangFormat("info_MonSaveFail", {path, Std(m_save->errorString())}));
    // Not committed: the file as it was stays.
    m_save.reset();
    m_panel->SetSaving(false);
}

} // namespace m845
