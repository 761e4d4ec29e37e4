// What a provisioning run does to one device: read it, write a file into it, compare it with a
// file, ask for the report's values, upgrade its firmware and wait for it to come back.

#include "ui/provision/provisioning.h"

#include <algorithm>
#include <utility>

#include <QEventLoop>
#include <QFileDialog>
#include <QScopeGuard>

#include "config/config.h"
#include "config/filestore.h"
#include "config/inifile.h"
#include "core/toolsettings.h"
#include "firmware/firmwareupgrade.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/parameters.h"
#include "protocol/readback.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "provision/runinput.h"
#include "support/encoding.h"
#include "ui/common/qttimer.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

// A probe waits this long for the entry pair's answers at most; a device answers "+++" within
// its guard time.
constexpr int kProbeReplyMs = 2000;

// The set lines queued, as the run writes them.
std::vector<TWrittenLine> QueuedWrites()
{
    std::vector<TWrittenLine> written;
    for (int i = 0; i < QueueCount(); ++i) {
        const std::string line = QueueEntry(i);
        std::string value;
        if (SetLineValue(line, value))
            written.push_back({CommandOfLine(line), GbkToUtf8(value)});
    }
    return written;
}

std::vector<TCmd> CommandsOf(const std::vector<TWrittenLine> &lines)
{
    std::vector<TCmd> cmds;
    for (const TWrittenLine &line : lines)
        cmds.push_back(CmdOfName(line.name));
    return cmds;
}

} // namespace

int TProvisioning::ReadDevice()
{
    TDeviceAnswers answers;
    const TEnd read = WaitForRun([this] { m_window->btnDoClick(TagAskAll); }, answers);
    if (!read.Finished())
        return ReportCut(read, TPhase::Read);
    TReplyApplier &applier = m_session->Applier();
    TParamPanel &panel = m_session->Panel();
    std::vector<TCmd> queried{TCmd::VER};
    for (TCmd cmd : ReadAllRest(applier.IdentityCmd()))
        queried.push_back(cmd);
    // What the device's mode writes beyond the read-all's queries (the SMS settings).
    const std::vector<TCmd> extra = WrittenButNotReadAll(WorkModeIndex(panel));
    if (!extra.empty()) {
        const TEnd more = WaitForQueries(extra, answers);
        if (!more.Finished())
            return ReportCut(more, TPhase::Read);
        queried.insert(queried.end(), extra.begin(), extra.end());
    }
    // Every value a copy would write must be the device's own, as the panel shows it.
    BuildSetAll(panel, applier.IdentityCmd());
    const std::vector<TCmd> written = QueuedSetCommands();
    QueueClear();
    std::vector<TFinding> problems;
    for (std::string &line : ReadProblems(queried, answers, written, panel, applier.IdentityCmd()))
        problems.push_back({line, line});
    if (!problems.empty()) {
        PrintFindings(problems);
        return kProvisionDiffers;
    }
    std::string file = m_request.file;
    if (IsFolderTarget(file)) {
        file = FileForIdentity(file, IdentitySeen());
        if (file.empty()) {
            Error(LangText("info_ProvNoIdentity"));
            return kProvisionDiffers;
        }
    }
    // The file keeps the file's pause (the default for a read), whatever a test set for the run.
    const int runDelay = m_session->Sequencer().CommandDelay();
    m_settings->SetCommandDelay(m_fileDelay);
    TIniFile ini;
    SaveParameters(ini, panel, applier);
    SaveLinkSettings(ini, *m_settings);
    m_settings->SetCommandDelay(runDelay);
    DropUnreported(ini, answers);
    if (const TFileOutcome saved = WriteFileReplacing(file, ini.Text()); !saved.ok) {
        Error(LangFormat("info_CfgWriteFail", {file}) + ": " + saved.reason);
        return kProvisionBadInput;
    }
    m_window->Log().LogInfo(LangFormat("info_CfgSaved", {file}));
    return kProvisionDone;
}

int TProvisioning::WriteDevice()
{
    std::vector<TWrittenLine> written;
    TDeviceAnswers writing;
    const TEnd end = WaitForRun(
        [this, &written] {
            m_window->btnDoClick(TagSetAll);
            // What the button queued is what the run writes.
            written = QueuedWrites();
        },
        writing);
    const int total = static_cast<int>(written.size());
    if (!end.Finished()) {
        const int answered = SetLinesBeforeCursor();
        return ReportCut(end, TPhase::Write, answered - static_cast<int>(writing.refusals.size()),
                         total);
    }

    std::vector<TCmd> toCheck;
    for (const TWrittenLine &w : written) {
        if (writing.RefusalOf(w.name) == nullptr)
            toCheck.push_back(CmdOfName(w.name));
    }
    TDeviceAnswers checking;
    if (!toCheck.empty()) {
        m_window->Log().LogInfo(LangFormat("info_ProvCheck", {std::to_string(toCheck.size())}));
        const TEnd checked = WaitForQueries(toCheck, checking);
        if (!checked.Finished())
            return ReportCut(checked, TPhase::Check, total, total);
    }

    return Conclude(ReadBackFindings(written, writing, checking), "info_ProvEqual", written.size());
}

int TProvisioning::VerifyDevice()
{
    // What a write of the file would send, each value asked for and compared; nothing written.
    BuildSetAll(m_session->Panel(), m_session->Applier().IdentityCmd());
    const std::vector<TWrittenLine> expected = QueuedWrites();
    QueueClear();
    m_window->Log().LogInfo(
        LangFormat("info_ProvVerify", {std::to_string(expected.size()), m_request.file}));
    TDeviceAnswers checking;
    const TEnd checked = WaitForQueries(CommandsOf(expected), checking);
    if (!checked.Finished())
        return ReportCut(checked, TPhase::Untouched);
    return Conclude(ReadBackFindings(expected, {}, checking, true), "info_ProvSame",
                    expected.size());
}

int TProvisioning::Conclude(const std::vector<TFinding> &findings, const char *equalKey,
                            std::size_t compared)
{
    PrintFindings(findings);
    if (!findings.empty())
        return kProvisionDiffers;
    m_window->Log().LogInfo(LangFormat(equalKey, {std::to_string(compared)}));
    return kProvisionDone;
}

int TProvisioning::QueryInfo()
{
    // The version first: it decides which identity the device is asked for.
    TDeviceAnswers answers;
    if (Seen("VER").empty()) {
        const TEnd version = WaitForQueries({TCmd::VER}, answers);
        if (!version.Finished())
            return ReportCut(version, TPhase::Untouched);
    }
    std::vector<TCmd> rest;
    for (TCmd cmd : {m_session->Applier().IdentityCmd(), TCmd::ICCID, TCmd::SN}) {
        if (Seen(std::string(CmdName(cmd))).empty())
            rest.push_back(cmd);
    }
    if (rest.empty())
        return kProvisionDone;
    // A refusal (no SIM card, no ICCID) leaves its field empty; the job is what counts.
    const TEnd info = WaitForQueries(rest, answers);
    return info.Finished() ? kProvisionDone : ReportCut(info, TPhase::Untouched);
}

void TProvisioning::QuerySignal()
{
    TDeviceAnswers answers;
    static_cast<void>(WaitForQueries({TCmd::CSQ}, answers));
}

int TProvisioning::CheckVersion()
{
    const std::string version = Seen("VER");
    if (version == *m_request.expectVersion)
        return kProvisionDone;
    const std::string line
        = "VER: "
          + (version.empty() ? std::string("device gave no value") : "device has " + version)
          + ", expected " + *m_request.expectVersion;
    PrintFindings({{line, line}});
    return kProvisionDiffers;
}

bool TProvisioning::ChooseFirmware()
{
    TFirmwareControl &firmware = m_session->Firmware();
    if (firmware.Upgrade().HasFirmwareFile())
        return true;
    // The window's own choice, its dialog answered with the image.
    firmware.RunDialog = [path = QString::fromStdString(m_request.firmware)](QFileDialog &) {
        return std::optional<QString>(path);
    };
    m_window->Link().ChooseFirmwareFile();
    return firmware.Upgrade().HasFirmwareFile();
}

int TProvisioning::UpgradeDevice()
{
    if (!ChooseFirmware())
        return kProvisionBadInput;
    QEventLoop loop;
    m_loop = &loop;
    const auto unset = qScopeGuard([this] { m_loop = nullptr; });
    QTimer timeUp;
    timeUp.setSingleShot(true);
    bool late = false;
    // A coarse timer may fire a little before the deadline: its tick is the end.
    connect(&timeUp, &QTimer::timeout, &loop, [&late, &loop] {
        late = true;
        loop.quit();
    });
    timeUp.start(static_cast<int>(std::max<qint64>(0, m_deadline.remainingTime())));
    // Woken by each step of the upgrade, a lost line and the time.
    while (!m_transferDone && !late && m_window->Link().IsPortOpen())
        loop.exec();
    if (m_transferDone)
        return kProvisionDone;
    if (!m_window->Link().IsPortOpen()) {
        if (m_request.quiet)
            Error(LangText("info_ComLost"));
        else
            m_device.details.push_back(LangText("info_ComLost"));
    } else if (!m_menuSeen) {
        Error(LangFormat("info_ProvNoBootMenu", {std::to_string(m_request.timeoutSeconds)}));
        return kProvisionNoAnswer;
    } else {
        Error(LangFormat("info_ProvTimeOut", {std::to_string(m_request.timeoutSeconds)}));
    }
    Error(LangText(m_menuSeen ? "info_ProvFwCut" : "info_ProvCutUntouched"));
    return kProvisionCutOff;
}

int TProvisioning::AwaitDevice()
{
    m_window->Log().LogInfo(LangText("info_ProvAwaitRestart"));
    while (!m_deadline.hasExpired()) {
        // Its greeting tells when it has started; a device that does not greet is probed anyway.
        Pause(static_cast<int>(std::min<qint64>(m_request.probeMs,
                                                std::max<qint64>(0, m_deadline.remainingTime()))),
              true);
        if (Probe().answered)
            return kProvisionDone;
        if (!m_window->Link().IsPortOpen())
            break;
    }
    Error(LangFormat("info_ProvNoRestart", {std::to_string(m_request.timeoutSeconds)}));
    return kProvisionCutOff;
}

TProvisioning::TProbe TProvisioning::Probe()
{
    TProbe probe;
    if (!m_window->Link().IsPortOpen() || m_deadline.hasExpired())
        return probe;
    // A short wait for "a": the probe is repeated, and a slow answer is no answer.
    ITimer &timer = m_window->RcvTimer();
    const int replyMs = timer.Interval();
    timer.SetInterval(std::min(replyMs, kProbeReplyMs));
    m_probing = true;
    const auto restore = qScopeGuard([this, &timer, replyMs] {
        timer.SetInterval(replyMs);
        m_probing = false;
    });
    TDeviceAnswers answers;
    if (!WaitForRun([this] { m_window->btnDoClick(TagPPPA); }, answers).Finished())
        return probe;
    probe.answered = true;
    if (!WaitForQueries({TCmd::VER}, answers).Finished())
        return probe;
    const TCmd identityCmd = m_session->Applier().IdentityCmd();
    const TEnd identity = WaitForQueries({identityCmd}, answers);
    if (const std::string *value = answers.ValueOf(CmdName(identityCmd));
        identity.Finished() && value != nullptr)
        probe.identity = *value;
    return probe;
}

bool TProvisioning::Pause(int ms, bool untilTraffic)
{
    if (m_interruptible && m_interrupted)
        return false;
    QEventLoop loop;
    m_loop = &loop;
    m_wakeOnTraffic = untilTraffic;
    m_trafficSeen = false;
    QTimer over;
    over.setSingleShot(true);
    connect(&over, &QTimer::timeout, &loop, &QEventLoop::quit);
    over.start(std::max(0, ms));
    // Other wake-ups (a firmware step, a lost line) do not end the pause early.
    while (over.isActive() && !(m_interruptible && m_interrupted) && !m_trafficSeen)
        loop.exec();
    m_loop = nullptr;
    m_wakeOnTraffic = false;
    if (m_trafficSeen)
        Settle();
    return !(m_interruptible && m_interrupted);
}

} // namespace m845
