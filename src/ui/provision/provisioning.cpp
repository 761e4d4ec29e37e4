#include "ui/provision/provisioning.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <QComboBox>
#include <QEventLoop>
#include <QScopeGuard>
#include <QStringList>

#include "config/config.h"
#include "config/filestore.h"
#include "config/inifile.h"
#include "core/toolsettings.h"
#include "firmware/firmwareupgrade.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/parameters.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "provision/runinput.h"
#include "serial/portlist.h"
#include "support/encoding.h"
#include "ui/common/qttimer.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/linksettings.h"
#include "ui/link/serialbar.h"
#include "ui/panel/parampanel.h"
#include "ui/provision/stationsignals.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

// A device that keeps talking after the port opens is not waited for longer than this.
constexpr int kSettleCapMs = 2000;
// How often a run that rests after a stray block is moved on, as a reply timer tick would.
constexpr int kMaxKicks = 2;

} // namespace

TProvisioning::TProvisioning(TProvisionRequest request, std::ostream &progress,
                             std::ostream &result)
    : m_request(std::move(request))
    , m_progress(progress)
    , m_result(result)
{
    m_quietTimer.setSingleShot(true);
}

TProvisioning::~TProvisioning() = default;

int TProvisioning::Run()
{
    // The built-in texts only: a run writes no language file into the user's folder.
    const bool ownLanguage = LangList() == nullptr;
    if (ownLanguage)
        InitBuiltInLanguage(m_request.chinese.value_or(TLangList::SystemIsChinese()));
    else if (m_request.chinese)
        LangList()->IsChinese = *m_request.chinese;
    const int code = RunInWindow();
    if (ownLanguage)
        ReleaseLanguage();
    return code;
}

int TProvisioning::RunInWindow()
{
    TIniFile ini;
    if (!CheckInput(ini))
        return kProvisionBadInput;

    // The window's configuration part is left out: M845Cfg.ini is neither read nor written.
    TFrm_Main window([this](TFrm_Main &w) {
        auto session = std::make_unique<TDeviceSession>(w);
        m_session = session.get();
        w.AdoptPart(std::move(session));
        if (m_request.chinese)
            w.OverrideLanguage(*m_request.chinese);
    });
    m_window = &window;
    TLinkSettings settings(window.SerialBar(), m_session->Sequencer(),
                           TLinkSettings::TPortChoice::AsGiven);
    m_settings = &settings;
    TFirmwareUpgrade &upgrade = m_session->Firmware().Upgrade();
    const auto unhook = qScopeGuard([this, &upgrade] {
        upgrade.SetStepObserver({});
        m_session->Applier().SetValueObserver({});
        m_window = nullptr;
        m_session = nullptr;
        m_settings = nullptr;
    });
    connect(&window.Log(), &TLogPane::EntryWritten, this, &TProvisioning::OnLogEntry);
    connect(m_session, &TDeviceSession::RunStarted, this, [this](int runId, TRunKind) {
        if (m_answers != nullptr && m_runId == 0)
            m_runId = runId;
    });
    connect(m_session, &TDeviceSession::CommandRefused, this,
            [this](int runId, const QString &command, const QString &refusal) {
                if (m_answers != nullptr && runId == m_runId)
                    m_answers->refusals.emplace_back(command.toStdString(),
                                                     refusal.toStdString());
            });
    connect(m_session, &TDeviceSession::RunEnded, this, &TProvisioning::OnRunEnded);
    connect(&window.Link(), &TLinkControl::PortOpenChanged, this, [this](bool open) {
        if (!open && m_loop != nullptr)
            m_loop->quit();
    });
    m_session->Applier().SetValueObserver([this](std::string_view name, std::string_view value) {
        const TCmd cmd = CmdOfName(name);
        if (static_cast<int>(cmd) >= kCmdCount)
            return;
        const std::string key(CmdName(cmd));
        m_device.seen[key] = std::string(value);
        if (m_answers != nullptr)
            m_answers->values[key] = std::string(value);
    });
    upgrade.SetStepObserver([this](TFirmwareStep step) { OnFirmwareStep(step); });

    if (const int bad = PrepareJob(ini); bad != kProvisionDone)
        return bad;
    if (m_request.checkOnly)
        return kProvisionDone;
    if (m_request.pauseMs)
        m_session->Sequencer().SetCommandDelay(*m_request.pauseMs);
    if (!PreparePort())
        return kProvisionBadInput;
    if (m_request.station)
        return RunStation();

    BeginDevice();
    if (!OpenPort()) {
        static_cast<void>(WriteRow(kProvisionNoPort));
        return kProvisionNoPort;
    }
    Settle();
    return RunDevice();
}

bool TProvisioning::CheckInput(TIniFile &ini)
{
    std::string error;
    switch (m_request.action) {
    case TProvisionRequest::TAction::Write:
    case TProvisionRequest::TAction::Verify:
        if (!LoadFile(ini))
            return false;
        break;
    case TProvisionRequest::TAction::Read:
        error = CheckReadTarget(m_request.file);
        break;
    case TProvisionRequest::TAction::None:
        break;
    }
    if (error.empty() && !m_request.firmware.empty())
        error = CheckFirmwareImage(m_request.firmware);
    if (error.empty() && !m_request.report.empty())
        error = CheckReport(m_request.report);
    if (!error.empty())
        Error(error);
    return error.empty();
}

bool TProvisioning::LoadFile(TIniFile &ini)
{
    const TFileOutcome read = ReadConfigFile(m_request.file, ini);
    if (!read.ok || read.missing) {
        const std::string reason = read.ok ? std::string(std::strerror(ENOENT)) : read.reason;
        Error(LangFormat("info_ProvReadFail", {m_request.file, reason}));
        return false;
    }
    // Anything reads as an INI text; a file that names no mode is not one of ours, and its
    // defaults must not reach a device.
    if (!ini.Value("WKMOD", "WKMOD")) {
        Error(LangFormat("info_ProvNoMode", {m_request.file}));
        return false;
    }
    return true;
}

int TProvisioning::PrepareJob(TIniFile &ini)
{
    TParamPanel &panel = m_session->Panel();
    // The file's parameters (a read starts from the defaults), with its work mode kept: a
    // provisioning file means its mode. Of the tool's settings only the line's.
    LoadParameters(ini, panel, m_session->Applier());
    LoadLinkSettings(ini, *m_settings);
    m_fileDelay = m_session->Sequencer().CommandDelay();
    const TProvisionRequest::TAction action = m_request.action;
    if (action == TProvisionRequest::TAction::Read) {
        // A read keeps the advanced values too, so that writing its file sets them again.
        panel.SetChecked(PanelCheck::More, true);
        return kProvisionDone;
    }
    if (action == TProvisionRequest::TAction::None)
        return kProvisionDone;
    if (WorkModeIndex(panel) == 4) {
        Error(LangFormat("info_ProvNoMode", {m_request.file}));
        return kProvisionBadInput;
    }
    // Every value the write-all sends (or a verification compares) must come from the file,
    // never from a default.
    BuildSetAll(panel, TCmd::IMEI);
    const std::vector<std::string> missing = MissingKeys(ini, QueuedSetCommands());
    QueueClear();
    if (!missing.empty()) {
        std::string keys;
        for (const std::string &key : missing)
            keys += (keys.empty() ? "" : ", ") + key;
        Error(LangFormat("info_ProvMissingKeys", {m_request.file, keys}));
        return kProvisionBadInput;
    }
    return kProvisionDone;
}

bool TProvisioning::PreparePort()
{
    TSerialToolBar &bar = m_window->SerialBar();
    bar.PortBox()->setCurrentIndex(-1);
    bar.PortBox()->setEditText(QString::fromStdString(ResolvePortName(m_request.port)));
    if (!m_request.baud)
        return true;
    auto *baud = bar.findChild<QComboBox *>(QStringLiteral("cbbOpenBaud"));
    const int index = baud->findText(QString::number(*m_request.baud));
    if (index < 0) {
        QStringList offered;
        for (int i = 0; i < baud->count(); ++i)
            offered << baud->itemText(i);
        Error(LangFormat("info_ProvBadBaud", {std::to_string(*m_request.baud),
                                              offered.join(QStringLiteral(", ")).toStdString()}));
        return false;
    }
    baud->setCurrentIndex(index);
    return true;
}

bool TProvisioning::OpenPort()
{
    m_opening = true;
    m_window->Link().btnSysClick();
    m_opening = false;
    if (!m_window->Link().IsPortOpen())
        return false;
    // Each opening sets the reply timer afresh.
    if (m_request.replyMs)
        m_window->RcvTimer().SetInterval(*m_request.replyMs);
    return true;
}

void TProvisioning::Settle()
{
    // A device may greet as the line opens; a greeting inside the run would stop its reply
    // timer, so the run starts once the line is quiet.
    if (m_request.settleMs <= 0)
        return;
    QEventLoop loop;
    m_settleLoop = &loop;
    m_quietTimer.setInterval(m_request.settleMs);
    connect(&m_quietTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer cap;
    cap.setSingleShot(true);
    connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
    cap.start(static_cast<int>(std::min<qint64>(kSettleCapMs, m_deadline.remainingTime())));
    m_quietTimer.start();
    loop.exec();
    m_quietTimer.stop();
    m_settleLoop = nullptr;
}

void TProvisioning::BeginDevice(bool arrived)
{
    std::map<std::string, std::string> seen = std::move(m_device.seen);
    m_device = TDevice{};
    m_device.start = std::chrono::steady_clock::now();
    m_device.collecting = true;
    m_deadline = QDeadlineTimer(std::chrono::seconds(m_request.timeoutSeconds));
    if (arrived) {
        m_device.seen = std::move(seen);
        return;
    }
    m_heard = false;
    m_menuSeen = false;
    m_transferStarted = false;
    m_transferDone = false;
}

int TProvisioning::RunDevice()
{
    using TAction = TProvisionRequest::TAction;
    const TAction action = m_request.action;
    const bool report = !m_request.report.empty();
    int code = kProvisionDone;
    if (!m_request.firmware.empty()) {
        code = UpgradeDevice();
        // The device restarts into its application; whatever follows waits for it.
        if (code == kProvisionDone
            && (action != TAction::None || report || m_request.expectVersion))
            code = AwaitDevice();
    }
    // The identity and the rest of the row, where the work itself does not ask for them. A
    // device of another version is not set up with a file meant for the expected one.
    const bool readAsks = action == TAction::Read;
    if (code == kProvisionDone && (report || m_request.expectVersion) && !readAsks)
        code = QueryInfo();
    if (code == kProvisionDone && m_request.expectVersion && !readAsks)
        code = CheckVersion();
    if (code == kProvisionDone) {
        switch (action) {
        case TAction::Read:
            code = ReadDevice();
            break;
        case TAction::Write:
            code = WriteDevice();
            break;
        case TAction::Verify:
            code = VerifyDevice();
            break;
        case TAction::None:
            break;
        }
    }
    const bool lineFine = code == kProvisionDone || code == kProvisionDiffers;
    if (lineFine && m_request.expectVersion && readAsks)
        code = std::max(code, CheckVersion());
    if (lineFine && report)
        QuerySignal();
    // A row that cannot be written is a device without its record: no pass.
    if (!WriteRow(code) && code == kProvisionDone)
        code = kProvisionDiffers;
    m_device.collecting = false;
    return code;
}

TProvisioning::TEnd TProvisioning::WaitForRun(const std::function<void()> &start,
                                             TDeviceAnswers &answers)
{
    TEnd end;
    m_runId = 0;
    m_answers = &answers;
    m_outcome.reset();
    QEventLoop loop;
    m_loop = &loop;
    QTimer timeUp;
    timeUp.setSingleShot(true);
    connect(&timeUp, &QTimer::timeout, &loop, [&end, &loop] {
        end.timeUp = true;
        loop.quit();
    });
    timeUp.start(static_cast<int>(std::max<qint64>(0, m_deadline.remainingTime())));
    start();
    for (int kicks = 0; !end.timeUp;) {
        if (!m_outcome && !(m_interruptible && m_interrupted))
            loop.exec();
        if (m_interruptible && m_interrupted && !m_outcome) {
            // Nothing of the run may follow: a "+++" of its re-entry would reach a boot loader.
            QueueClear();
            m_window->RcvTimer().Stop();
            end.interrupted = true;
            break;
        }
        if (end.timeUp)
            break;
        if (!m_outcome) {
            // Woken by a lost line: the sequencer tells the outcome as the port closes.
            continue;
        }
        // A stray block stopped the reply timer and the run rests: move it on as a tick would.
        if (m_outcome->end == TRunEnd::NotUnderstood && kicks < kMaxKicks
            && m_window->Link().IsPortOpen()) {
            ++kicks;
            m_outcome.reset();
            m_session->Sequencer().tmrRcvTimer();
            continue;
        }
        end.outcome = m_outcome;
        break;
    }
    m_loop = nullptr;
    m_answers = nullptr;
    return end;
}

TProvisioning::TEnd TProvisioning::WaitForQueries(const std::vector<TCmd> &queries,
                                                  TDeviceAnswers &answers)
{
    return WaitForRun(
        [this, &queries] {
            QueueClear();
            for (TCmd cmd : queries)
                QueueAddQuery(cmd);
            m_session->Sequencer().RunQueue();
        },
        answers);
}

void TProvisioning::OnRunEnded(const TRunOutcome &outcome)
{
    if (m_answers == nullptr || outcome.runId != m_runId)
        return;
    m_outcome = outcome;
    if (m_loop != nullptr)
        m_loop->quit();
}

int TProvisioning::ReportCut(const TEnd &end, TPhase phase, int acknowledged, int total)
{
    const bool lost = end.outcome && end.outcome->end == TRunEnd::LineLost;
    const bool garbled = end.outcome && end.outcome->end == TRunEnd::NotUnderstood;
    if (lost && m_request.quiet)
        Error(LangText("info_ComLost"));
    else if (lost)
        m_device.details.push_back(LangText("info_ComLost"));
    else if (end.timeUp)
        Error(LangFormat("info_ProvTimeOut", {std::to_string(m_request.timeoutSeconds)}));
    else if (garbled)
        Error(LangText("info_NotUnderstood"));
    else
        Error(LangText("info_ProvNoAnswer"));
    // A device that never answered holds nothing new; a line that went away may have carried
    // lines the device took.
    if (!m_heard && !lost)
        return kProvisionNoAnswer;
    switch (phase) {
    case TPhase::Read:
        Error(LangFormat("info_ProvCutRead", {m_request.file}));
        break;
    case TPhase::Write:
        Error(LangFormat("info_ProvCutWrite",
                         {std::to_string(std::max(0, acknowledged)), std::to_string(total)}));
        break;
    case TPhase::Check:
        Error(LangFormat("info_ProvCutCheck", {std::to_string(total)}));
        break;
    case TPhase::Untouched:
        Error(LangText("info_ProvCutUntouched"));
        break;
    }
    return kProvisionCutOff;
}

void TProvisioning::OnLogEntry(TLogKind kind, const QString &text)
{
    PrintProgress(kind, text);
    if (kind == TLogKind::Rx)
        m_heard = true;
    // Why the port would not open belongs to the device's row.
    if (m_opening && kind == TLogKind::Warn && m_device.collecting)
        m_device.details.push_back(EscapeControls(text.toStdString()));
    if (m_settleLoop != nullptr)
        m_quietTimer.start();
    if (m_wakeOnTraffic && (kind == TLogKind::Rx || kind == TLogKind::RxOther)) {
        m_trafficSeen = true;
        if (m_loop != nullptr)
            m_loop->quit();
    }
}

void TProvisioning::OnFirmwareStep(TFirmwareStep step)
{
    switch (step) {
    case TFirmwareStep::MenuAnswered:
        m_menuSeen = true;
        // A station waiting for the next device, or probing the last one, gives way.
        InterruptWaits();
        break;
    case TFirmwareStep::TransferStarted:
        m_transferStarted = true;
        break;
    case TFirmwareStep::TransferFinished:
        m_transferDone = true;
        break;
    case TFirmwareStep::TransferStopped:
        break;
    }
    if (m_loop != nullptr)
        m_loop->quit();
}

} // namespace m845
