// A provisioning station: devices arrive one after another on one port; each is run once, its
// verdict shown large, and the next one is taken only once it has gone.

#include "ui/provision/provisioning.h"

#include <chrono>

#include <QEventLoop>

#include "lang/langlist.h"
#include "provision/station.h"
#include "ui/link/linkcontrol.h"
#include "ui/provision/stationsignals.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

// A probe that finds nobody ends by the reply timer long before this.
constexpr auto kProbeDeadline = std::chrono::seconds(60);

constexpr const char *kPassColour = "\033[1;32m";
constexpr const char *kFailColour = "\033[1;31m";

} // namespace

void TProvisioning::RequestStop()
{
    if (m_stopRequested)
        return;
    m_stopRequested = true;
    if (m_window != nullptr)
        m_window->Log().LogInfo(LangText("info_StationStopping"));
    InterruptWaits();
}

void TProvisioning::InterruptWaits()
{
    if (!m_interruptible)
        return;
    m_interrupted = true;
    if (m_loop != nullptr)
        m_loop->quit();
}

int TProvisioning::RunStation()
{
    m_signals = std::make_unique<TStationSignals>([this] { RequestStop(); });
    const bool byBootMenu = !m_request.firmware.empty();
    if (!OpenPort())
        return kProvisionNoPort;
    if (byBootMenu && !ChooseFirmware())
        return kProvisionBadInput;
    m_window->Log().LogInfo(
        LangFormat(byBootMenu ? "info_StationReadyFw" : "info_StationReady", {m_request.port}));

    TStationMachine machine(byBootMenu);
    TStationMove move = machine.Start();
    while (move.step != TStationStep::Stop) {
        Announce(move.notice, machine.Identity());
        if (m_stopRequested && move.step != TStationStep::RunJob) {
            move = machine.StopRequested();
            continue;
        }
        if (move.step == TStationStep::RunJob) {
            BeginDevice(true);
            const int code = RunDevice();
            ShowVerdict(code);
            const std::string identity = IdentitySeen();
            const bool inBootLoader = byBootMenu && !m_transferDone;
            // What follows belongs to the next device.
            m_menuSeen = m_transferStarted = m_transferDone = false;
            if (byBootMenu)
                static_cast<void>(ChooseFirmware());
            move = machine.JobEnded(code == kProvisionDone, identity, inBootLoader);
            continue;
        }
        // Between devices every wait gives way to Ctrl+C and to a boot menu.
        m_interruptible = true;
        m_interrupted = false;
        TProbe probe;
        switch (move.step) {
        case TStationStep::Probe:
            m_device.seen.clear();
            m_deadline = QDeadlineTimer(kProbeDeadline);
            if (EnsurePort())
                probe = Probe();
            break;
        case TStationStep::Pause:
            // A device that greets as it powers up is taken at once.
            Pause(m_request.probeMs, true);
            break;
        case TStationStep::AwaitBootMenu:
            while (!m_menuSeen && !m_stopRequested) {
                static_cast<void>(EnsurePort());
                Pause(m_request.probeMs);
            }
            break;
        case TStationStep::RunJob:
        case TStationStep::Stop:
            break;
        }
        m_interruptible = false;
        if (m_menuSeen) {
            move = machine.BootMenuShown();
        } else if (m_stopRequested) {
            move = machine.StopRequested();
        } else if (move.step == TStationStep::Probe) {
            move = probe.answered ? machine.ProbeAnswered(probe.identity) : machine.ProbeSilent();
        } else {
            move = machine.PauseOver();
        }
    }
    Line(m_progress, LangFormat("info_StationSummary", {std::to_string(machine.Passed()),
                                                        std::to_string(machine.Failed())}));
    return machine.ExitCode();
}

bool TProvisioning::EnsurePort()
{
    if (m_window->Link().IsPortOpen())
        return true;
    const bool told = m_portMissingTold;
    if (!OpenPort()) {
        if (!told)
            m_window->Log().LogInfo(LangFormat("info_StationNoPort", {m_request.port}));
        m_portMissingTold = true;
        return false;
    }
    m_portMissingTold = false;
    Settle();
    return true;
}

void TProvisioning::Announce(TStationNotice notice, const std::string &identity)
{
    const std::string who = identity.empty() ? LangText("info_StationNoIdentity") : identity;
    const char *key = nullptr;
    switch (notice) {
    case TStationNotice::None:
        return;
    case TStationNotice::Arrived:
    case TStationNotice::Replaced:
        if (identity.empty() && !m_request.firmware.empty())
            key = "info_StationBootMenu";
        else
            key = notice == TStationNotice::Arrived ? "info_StationArrived"
                                                    : "info_StationReplaced";
        break;
    case TStationNotice::Gone:
        key = "info_StationGone";
        break;
    case TStationNotice::AlreadyDone:
        key = "info_StationAlreadyDone";
        break;
    }
    m_window->Log().LogInfo(LangFormat(key, {who}));
}

void TProvisioning::ShowVerdict(int code)
{
    const bool pass = code == kProvisionDone;
    const std::string identity = IdentitySeen();
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_device.start).count();
    // Shown even to a quiet station: it is the bench's answer. The bell calls the technician.
    std::string banner = StationBanner(
        pass, identity.empty() ? LangText("info_StationNoIdentity") : identity, seconds);
    if (!banner.empty() && banner.back() == '\n')
        banner.pop_back();
    Line(m_progress, (m_request.bell ? "\a" : "") + banner, pass ? kPassColour : kFailColour);
}

} // namespace m845
