#include "ui/provision/provisioning.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <utility>

#include <unistd.h>

#include <QComboBox>
#include <QEventLoop>
#include <QScopeGuard>
#include <QStringList>

#include "config/config.h"
#include "config/filestore.h"
#include "config/inifile.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/parameters.h"
#include "protocol/readback.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "serial/portlist.h"
#include "support/encoding.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/linksettings.h"
#include "ui/link/serialbar.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

// A device that keeps talking after the port opens is not waited for longer than this.
constexpr int kSettleCapMs = 2000;
// How often a run that rests after a stray block is moved on, as a reply timer tick would.
constexpr int kMaxKicks = 2;

constexpr const char *kGreen = "\033[32m";
constexpr const char *kBlue = "\033[34m";
constexpr const char *kRed = "\033[31m";
constexpr const char *kReset = "\033[0m";

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
    m_deadline = QDeadlineTimer(std::chrono::seconds(m_request.timeoutSeconds));
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
    const bool write = m_request.action == TProvisionRequest::TAction::Write;
    TIniFile ini;
    if (write ? !LoadFile(ini) : !CheckFolder())
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
    const auto unhook = qScopeGuard([this] {
        m_session->Applier().SetValueObserver({});
        m_window = nullptr;
        m_session = nullptr;
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
    m_session->Applier().SetValueObserver([this](std::string_view name, std::string_view value) {
        const TCmd cmd = CmdOfName(name);
        if (m_answers != nullptr && static_cast<int>(cmd) < kCmdCount)
            m_answers->values[std::string(CmdName(cmd))] = std::string(value);
    });

    TParamPanel &panel = m_session->Panel();
    TLinkSettings settings(window.SerialBar(), m_session->Sequencer(),
                           TLinkSettings::TPortChoice::AsGiven);
    // The file's parameters (a read starts from the defaults), with its work mode kept: a
    // provisioning file means its mode. Of the tool's settings only the line's.
    LoadParameters(ini, panel, m_session->Applier());
    LoadLinkSettings(ini, settings);
    if (write) {
        if (WorkModeIndex(panel) == 4) {
            Error(LangFormat("info_ProvNoMode", {m_request.file}));
            return kProvisionBadInput;
        }
        // Every value the write-all sends must come from the file, never from a default.
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
    } else {
        // A read keeps the advanced values too, so that writing its file sets them again.
        panel.SetChecked(PanelCheck::More, true);
    }
    // The file's pause, whatever a test sets for the run.
    const int fileDelay = m_session->Sequencer().CommandDelay();
    if (m_request.pauseMs)
        m_session->Sequencer().SetCommandDelay(*m_request.pauseMs);
    if (!PreparePort())
        return kProvisionBadInput;

    m_opening = true;
    window.Link().btnSysClick();
    m_opening = false;
    if (!window.Link().IsPortOpen())
        return kProvisionNoPort;
    if (m_request.replyMs)
        window.RcvTimer().SetInterval(*m_request.replyMs);
    Settle();
    return write ? WriteDevice() : ReadDevice(settings, fileDelay);
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

bool TProvisioning::CheckFolder()
{
    // Found out now rather than after the device has been read.
    namespace fs = std::filesystem;
    const fs::path file(m_request.file);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        Error(LangFormat("info_CfgWriteFail", {m_request.file}) + ": " + std::strerror(EISDIR));
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        Error(LangFormat("info_ProvNoFolder", {m_request.file, std::strerror(errno)}));
        return false;
    }
    return true;
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

int TProvisioning::ReadDevice(ILinkSettings &settings, int fileDelay)
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
        const TEnd more = WaitForRun(
            [this, &extra] {
                QueueClear();
                for (TCmd cmd : extra)
                    QueueAddQuery(cmd);
                m_session->Sequencer().RunQueue();
            },
            answers);
        if (!more.Finished())
            return ReportCut(more, TPhase::Read);
        queried.insert(queried.end(), extra.begin(), extra.end());
    }
    // Every value a copy would write must be the device's own, as the panel shows it.
    BuildSetAll(panel, applier.IdentityCmd());
    const std::vector<TCmd> written = QueuedSetCommands();
    QueueClear();
    const std::vector<std::string> problems
        = ReadProblems(queried, answers, written, panel, applier.IdentityCmd());
    if (!problems.empty()) {
        PrintResult(problems);
        return kProvisionDiffers;
    }
    settings.SetCommandDelay(fileDelay);
    TIniFile ini;
    SaveParameters(ini, panel, applier);
    SaveLinkSettings(ini, settings);
    DropUnreported(ini, answers);
    if (const TFileOutcome saved = WriteFileReplacing(m_request.file, ini.Text()); !saved.ok) {
        Error(LangFormat("info_CfgWriteFail", {m_request.file}) + ": " + saved.reason);
        return kProvisionBadInput;
    }
    m_window->Log().LogInfo(LangFormat("info_CfgSaved", {m_request.file}));
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
            for (int i = 0; i < QueueCount(); ++i) {
                const std::string line = QueueEntry(i);
                std::string value;
                if (SetLineValue(line, value))
                    written.push_back({CommandOfLine(line), GbkToUtf8(value)});
            }
        },
        writing);
    const int total = static_cast<int>(written.size());
    if (!end.Finished()) {
        const int answered = SetLinesBeforeCursor();
        return ReportCut(end, TPhase::Write,
                         answered - static_cast<int>(writing.refusals.size()), total);
    }

    std::vector<std::string> toCheck;
    for (const TWrittenLine &w : written) {
        if (writing.RefusalOf(w.name) == nullptr)
            toCheck.push_back(w.name);
    }
    TDeviceAnswers checking;
    if (!toCheck.empty()) {
        m_window->Log().LogInfo(LangFormat("info_ProvCheck", {std::to_string(toCheck.size())}));
        const TEnd checked = WaitForRun(
            [this, &toCheck] {
                QueueClear();
                for (const std::string &name : toCheck)
                    QueueAddQuery(CmdOfName(name));
                m_session->Sequencer().RunQueue();
            },
            checking);
        if (!checked.Finished())
            return ReportCut(checked, TPhase::Check, total, total);
    }

    const std::vector<std::string> lines = ReadBackLines(written, writing, checking);
    PrintResult(lines);
    if (!lines.empty())
        return kProvisionDiffers;
    m_window->Log().LogInfo(LangFormat("info_ProvEqual", {std::to_string(written.size())}));
    return kProvisionDone;
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
        if (!m_outcome)
            loop.exec();
        if (end.timeUp || !m_outcome)
            break;
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
    else if (end.timeUp)
        Error(LangFormat("info_ProvTimeOut", {std::to_string(m_request.timeoutSeconds)}));
    else if (garbled)
        Error(LangText("info_NotUnderstood"));
    else if (!lost)
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
    }
    return kProvisionCutOff;
}

void TProvisioning::OnLogEntry(TLogKind kind, const QString &text)
{
    PrintProgress(kind, text);
    if (kind == TLogKind::Rx)
        m_heard = true;
    if (m_settleLoop != nullptr)
        m_quietTimer.start();
}

void TProvisioning::PrintProgress(TLogKind kind, const QString &text)
{
    // Quiet runs still say why the port would not open.
    if (m_request.quiet && !(m_opening && kind == TLogKind::Warn))
        return;
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString line = flat.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    const char *prefix = "";
    const char *colour = nullptr;
    switch (kind) {
    case TLogKind::Rx:
        prefix = "[Rx<-] ";
        colour = kGreen;
        break;
    case TLogKind::RxOther:
        prefix = "[Rx<-] ";
        break;
    case TLogKind::Tx:
        prefix = "[Tx->] ";
        colour = kBlue;
        break;
    case TLogKind::Warn:
        prefix = "[Warn] ";
        colour = kRed;
        break;
    case TLogKind::Info:
        break;
    }
    const bool paint = m_request.colour && colour != nullptr;
    m_progress << (paint ? colour : "") << prefix << EscapeControls(line.toStdString())
               << (paint ? kReset : "") << '\n'
               << std::flush;
}

void TProvisioning::PrintResult(const std::vector<std::string> &lines)
{
    // The values are the device's: shown escaped like everything else it sends.
    for (const std::string &line : lines)
        m_result << EscapeControls(line) << '\n';
    m_result.flush();
}

void TProvisioning::Error(const std::string &text)
{
    m_progress << (m_request.colour ? kRed : "") << EscapeControls(text)
               << (m_request.colour ? kReset : "") << '\n'
               << std::flush;
}

} // namespace m845
