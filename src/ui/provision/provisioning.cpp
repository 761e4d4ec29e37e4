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
#include "protocol/readback.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"
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

// Beyond the pause and the reply timer, before silence counts as the end of a run.
constexpr int kWatchdogMarginMs = 1000;
// After a refusal: how long past the pause to look whether it ended the run.
constexpr int kRefusalCheckMs = 100;
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
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { WatchdogTimeout(); });
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
    m_session->Applier().SetValueObserver(
        [this](std::string_view name, std::string_view value) { NoteValue(name, value); });

    TParamPanel &panel = m_session->Panel();
    TLinkSettings settings(window.SerialBar(), m_session->Sequencer(),
                           TLinkSettings::TPortChoice::AsGiven);
    // The file's parameters (a read starts from the defaults), with its work mode kept: a
    // provisioning file means its mode. Of the tool's settings only the line's.
    LoadParameters(ini, panel, m_session->Applier());
    LoadLinkSettings(ini, settings);
    if (write && WorkModeIndex(panel) == 4) {
        Error(LangFormat("info_ProvNoMode", {m_request.file}));
        return kProvisionBadInput;
    }
    // A read keeps the advanced values too, so that writing its file sets them again.
    if (!write)
        panel.SetChecked(PanelCheck::More, true);
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
    const TEnd end = WaitForEnd([this] { m_window->btnDoClick(TagAskAll); });
    if (end != TEnd::Complete)
        return ReportEnd(end);
    // A refused query would leave a default in the file, which a write would then spread.
    if (!m_refused.empty()) {
        for (const auto &[name, refusal] : m_refused)
            m_result << RefusedReadLine(name, refusal) << '\n';
        m_result.flush();
        return kProvisionDiffers;
    }
    settings.SetCommandDelay(fileDelay);
    TIniFile ini;
    SaveParameters(ini, m_session->Panel(), m_session->Applier());
    SaveLinkSettings(ini, settings);
    if (const TFileOutcome saved = WriteFileReplacing(m_request.file, ini.Text()); !saved.ok) {
        Error(LangFormat("info_CfgWriteFail", {m_request.file}) + ": " + saved.reason);
        return kProvisionBadInput;
    }
    m_window->Log().LogInfo(LangFormat("info_CfgSaved", {m_request.file}));
    return kProvisionDone;
}

int TProvisioning::WriteDevice()
{
    std::vector<TWritten> written;
    const TEnd end = WaitForEnd([this, &written] {
        m_window->btnDoClick(TagSetAll);
        // What the button queued is what the run writes.
        for (int i = 0; i < QueueCount(); ++i) {
            const std::string line = QueueEntry(i);
            std::string value;
            if (SetLineValue(line, value))
                written.push_back({CommandOfLine(line), GbkToUtf8(value)});
        }
    });
    if (end != TEnd::Complete)
        return ReportEnd(end);
    const auto refusedWrites = std::exchange(m_refused, {});
    const auto refusalOf = [](const auto &list, const std::string &name) -> const std::string * {
        for (const auto &[refusedName, refusal] : list) {
            if (refusedName == name)
                return &refusal;
        }
        return nullptr;
    };

    std::vector<std::string> toCheck;
    for (const TWritten &w : written) {
        if (refusalOf(refusedWrites, w.name) == nullptr)
            toCheck.push_back(w.name);
    }
    m_values.clear();
    if (!toCheck.empty()) {
        m_window->Log().LogInfo(LangFormat("info_ProvCheck", {std::to_string(toCheck.size())}));
        const TEnd checked = WaitForEnd([this, &toCheck] {
            QueueClear();
            for (const std::string &name : toCheck)
                QueueAddQuery(CmdOfName(name));
            m_session->Sequencer().SetOperationMode(TOperationMode::None);
            m_session->Sequencer().SendNext();
        });
        if (checked != TEnd::Complete)
            return ReportEnd(checked);
    }

    std::vector<std::string> lines;
    for (const TWritten &w : written) {
        if (const std::string *refusal = refusalOf(refusedWrites, w.name)) {
            lines.push_back(RefusedWriteLine(w.name, w.value, *refusal));
        } else if (const std::string *queryRefusal = refusalOf(m_refused, w.name)) {
            lines.push_back(RefusedQueryLine(w.name, w.value, *queryRefusal));
        } else if (const auto found = m_values.find(w.name); found == m_values.end()) {
            lines.push_back(NoValueLine(w.name, w.value));
        } else if (!ShowsSame(CmdOfName(w.name), w.value, found->second)) {
            lines.push_back(DifferenceLine(w.name, w.value, found->second));
        }
    }
    for (const std::string &line : lines)
        m_result << line << '\n';
    m_result.flush();
    if (!lines.empty())
        return kProvisionDiffers;
    m_window->Log().LogInfo(LangFormat("info_ProvEqual", {std::to_string(written.size())}));
    return kProvisionDone;
}

TProvisioning::TEnd TProvisioning::WaitForEnd(const std::function<void()> &start)
{
    m_end.reset();
    m_refused.clear();
    m_kicks = 0;
    m_waiting = true;
    QEventLoop loop;
    m_loop = &loop;
    QTimer timeUp;
    timeUp.setSingleShot(true);
    connect(&timeUp, &QTimer::timeout, this, [this] { Finish(TEnd::TimeOut); });
    timeUp.start(static_cast<int>(std::max<qint64>(0, m_deadline.remainingTime())));
    RestartWatchdog();
    start();
    if (!m_end)
        loop.exec();
    m_loop = nullptr;
    m_waiting = false;
    m_watchdog.stop();
    return *m_end;
}

void TProvisioning::Finish(TEnd end)
{
    if (!m_waiting || m_end)
        return;
    m_end = end;
    if (m_loop != nullptr)
        m_loop->quit();
}

int TProvisioning::ReportEnd(TEnd end)
{
    switch (end) {
    case TEnd::NoAnswer:
        Error(LangText("info_ProvNoAnswer"));
        return kProvisionNoAnswer;
    case TEnd::TimeOut:
        Error(LangFormat("info_ProvTimeOut", {std::to_string(m_request.timeoutSeconds)}));
        return kProvisionNoAnswer;
    case TEnd::PortLost:
        // The log has said so already, unless it is not shown.
        if (m_request.quiet)
            Error(LangText("info_ComLost"));
        return kProvisionNoPort;
    case TEnd::Complete:
        break;
    }
    return kProvisionDone;
}

void TProvisioning::RestartWatchdog(int ms)
{
    if (!m_waiting)
        return;
    if (ms < 0)
        ms = m_session->Sequencer().CommandDelay() + m_window->RcvTimer().Interval()
             + kWatchdogMarginMs;
    m_watchdog.start(ms);
}

void TProvisioning::WatchdogTimeout()
{
    if (!m_waiting)
        return;
    TSequencer &sequencer = m_session->Sequencer();
    const TLinkControl &link = m_window->Link();
    if (!link.IsPortOpen()) {
        Finish(TEnd::PortLost);
    } else if (sequencer.Pausing() || m_window->RcvTimer().IsActive()) {
        RestartWatchdog();
    } else if (QueueCursor >= QueueCount()) {
        // The last line was refused: the sequencer ends such a run without a word.
        Finish(TEnd::Complete);
    } else if (link.LastSentText() == "+++" || m_kicks >= kMaxKicks) {
        // The entry pair went out untimed and nothing came back.
        Finish(TEnd::NoAnswer);
    } else {
        // A stray block stopped the reply timer and the run rests: move it on as a tick would.
        ++m_kicks;
        sequencer.tmrRcvTimer();
        RestartWatchdog();
    }
}

void TProvisioning::OnLogEntry(TLogKind kind, const QString &text)
{
    PrintProgress(kind, text);
    if (m_settleLoop != nullptr)
        m_quietTimer.start();
    if (!m_waiting)
        return;
    RestartWatchdog();
    const std::string utf8 = text.toStdString();
    if (kind == TLogKind::Warn && utf8.find("+ERR:") != std::string::npos) {
        NoteRefusal(utf8);
        // A refused last line ends the run silently: look again once its pause is over.
        RestartWatchdog(m_session->Sequencer().CommandDelay() + kRefusalCheckMs);
    } else if (kind == TLogKind::Warn && utf8 == LangText("info_ComLost")) {
        Finish(TEnd::PortLost);
    } else if (kind == TLogKind::Info && utf8 == LangText("info_DoOver")) {
        Finish(TEnd::Complete);
    }
}

void TProvisioning::NoteRefusal(const std::string &block)
{
    // One line is out at a time: the refusal belongs to the line sent last.
    const std::string name = CommandOfLine(m_window->Link().LastSentText());
    if (!name.empty())
        m_refused.emplace_back(name, RefusalText(block));
}

void TProvisioning::NoteValue(std::string_view name, std::string_view value)
{
    const TCmd cmd = CmdOfName(name);
    if (static_cast<int>(cmd) < kCmdCount)
        m_values[std::string(CmdName(cmd))] = std::string(value);
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

void TProvisioning::Error(const std::string &text)
{
    m_progress << (m_request.colour ? kRed : "") << text << (m_request.colour ? kReset : "") << '\n'
               << std::flush;
}

} // namespace m845
