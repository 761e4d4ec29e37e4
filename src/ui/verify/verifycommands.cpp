#include "ui/verify/verifycommands.h"

#include <cerrno>
#include <cstring>
#include <map>

#include <QAction>
#include <QFileInfo>
#include <QGridLayout>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>

#include "config/config.h"
#include "config/inifile.h"
#include "lang/langlist.h"
#include "protocol/readback.h"
#include "support/conversions.h"
#include "ui/common/dialogs.h"
#include "ui/common/uitext.h"
#include "ui/config/configcommands.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/verify/changetracking.h"
#include "ui/verify/filecompare.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {

namespace {

using detail::Lang;

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TVerifyCommands::TVerifyCommands(TFrm_Main &window, TDeviceSession &session,
                                 TConfigCommands *config)
    : m_window(window)
    , m_session(session)
    , m_tracking(std::make_unique<TChangeTracking>(session.Panel()))
{
    // Beside the four main commands, as tall as both their rows.
    auto *group = window.findChild<QWidget *>(QStringLiteral("rzgrpbxBtn"));
    m_btnVerify = new QPushButton(group);
    m_btnVerify->setObjectName(QStringLiteral("btnVerify"));
    m_btnVerify->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    if (auto *grid = group != nullptr ? qobject_cast<QGridLayout *>(group->layout()) : nullptr)
        grid->addWidget(m_btnVerify, 0, 2, 2, 1);
    connect(m_btnVerify, &QPushButton::clicked, this, &TVerifyCommands::btnVerifyClick);

    QAction *exit = window.findChild<QAction *>(QStringLiteral("mni_Exit"));
    auto *file = exit != nullptr ? qobject_cast<QMenu *>(exit->parent()) : nullptr;
    m_mniCompareIni = new QAction(file);
    m_mniCompareIni->setObjectName(QStringLiteral("mniCompareIni"));
    connect(m_mniCompareIni, &QAction::triggered, this, &TVerifyCommands::mniCompareIniClick);
    m_mniConfirmWrite = new QAction(file);
    m_mniConfirmWrite->setObjectName(QStringLiteral("mniConfirmWrite"));
    m_mniConfirmWrite->setCheckable(true);
    if (file != nullptr) {
        file->insertAction(exit, m_mniCompareIni);
        file->insertAction(exit, m_mniConfirmWrite);
        file->insertSeparator(exit);
    }

    session.Applier().SetValueFilter(
        [this](std::string_view name, std::string_view value) { return FilterValue(name, value); });
    connect(&session, &TDeviceSession::RunStarted, this, &TVerifyCommands::OnRunStarted);
    connect(&session, &TDeviceSession::CommandRefused, this,
            [this](int runId, const QString &command, const QString &) {
                if (runId == m_verifyRunId && m_phase == TPhase::Running)
                    m_verification.Refused(command.toStdString());
            });
    connect(&session, &TDeviceSession::RunEnded, this, &TVerifyCommands::OnRunEnded);

    // What the panel shows at start came from the configuration file: that is the first read.
    connect(&window, &TFrm_Main::SelectingStartMode, this,
            [this] { m_tracking->Read(TReadSource::Start); });
    connect(&window, &TFrm_Main::ApplyingTexts, this, &TVerifyCommands::ApplyTexts);
    if (config != nullptr) {
        connect(config, &TConfigCommands::ParametersLoaded, this,
                [this] { m_tracking->Read(TReadSource::File); });
        connect(config, &TConfigCommands::ToolSettingsLoaded, this, [this](const TIniFile &ini) {
            SetConfirmWrite(ini.ReadBool(kVerifySection, kConfirmWriteKey, false));
        });
        connect(config, &TConfigCommands::ToolSettingsSaving, this, [this](TIniFile &ini) {
            ini.WriteBool(kVerifySection, kConfirmWriteKey, ConfirmWrite());
        });
        m_lastFolder = QFileInfo(Q(config->Path())).absolutePath();
    }

    // The confirmation stands in front of the button's own action; without it nothing differs.
    session.SetPressGuard([this](int tag) {
        return tag != TagSetAll || !ConfirmWrite() || AskBeforeWriting();
    });
}

TVerifyCommands::~TVerifyCommands()
{
    m_session.SetPressGuard({});
    m_session.Applier().SetValueFilter({});
}

bool TVerifyCommands::ConfirmWrite() const
{
    return m_mniConfirmWrite->isChecked();
}

void TVerifyCommands::SetConfirmWrite(bool on)
{
    m_mniConfirmWrite->setChecked(on);
}

void TVerifyCommands::btnVerifyClick()
{
    // A check without a line can only fail: say so at once rather than after a time-out.
    if (!m_window.Link().IsPortOpen()) {
        m_window.Log().LogWarn(LangText("info_ComNoOpen"));
        return;
    }
    // Behind a command pause and whatever holds the line, as every button press waits, so the
    // queued line goes out first and no answer is taken for another's.
    m_session.WhenLineFree(
        [this] { m_session.Sequencer().RunAfterPause([this] { StartVerify(); }); });
}

void TVerifyCommands::StartVerify()
{
    m_verification.Prepare(m_session.Panel());
    m_window.Log().LogInfo(
        LangFormat("info_VerifyStart", {std::to_string(m_verification.Items().size())}));
    m_startingVerify = true;
    m_session.Sequencer().RunQueue(TRunKind::Queries);
    m_startingVerify = false;
}

bool TVerifyCommands::FilterValue(std::string_view name, std::string_view value)
{
    const TCmd cmd = CmdOfName(name);
    if (static_cast<int>(cmd) >= kCmdCount)
        return true;
    if (m_readRunId != 0 && m_session.Sequencer().CurrentRunId() == m_readRunId)
        m_reported.insert(std::string(CmdName(cmd)));
    if (m_phase == TPhase::Idle || !m_verification.Takes(name))
        return true;
    if (m_phase == TPhase::Running) {
        m_verification.Answer(name, value);
        return false;
    }
    // A run that stopped may still move on: the answer to the query it waits on stays out of
    // the panel, as any answer of the check does; whatever else arrives is the panel's.
    if (!EqualsNoCase(CommandOfLine(QueueEntry(QueueCursor)), name))
        return true;
    if (QueueCursor >= QueueCount() - 1)
        m_phase = TPhase::Idle;
    return false;
}

void TVerifyCommands::OnRunStarted(int runId, TRunKind kind)
{
    m_readRunId = kind == TRunKind::ReadAll ? runId : 0;
    m_reported.clear();
    if (m_startingVerify) {
        m_verifyRunId = runId;
        m_phase = TPhase::Running;
        return;
    }
    // Another operation has the queue now.
    m_phase = TPhase::Idle;
    // What the device held is about to change: the differences found before no longer stand.
    if (kind == TRunKind::WriteAll)
        m_tracking->SetDeviceValues({});
}

void TVerifyCommands::OnRunEnded(const TRunOutcome &outcome)
{
    if (outcome.runId == m_readRunId)
        m_tracking->Read(TReadSource::Device, NotReported(m_reported));
    if (outcome.runId != m_verifyRunId || m_phase == TPhase::Idle)
        return;
    const bool answered = outcome.end == TRunEnd::Completed || outcome.end == TRunEnd::Refused;
    if (m_phase == TPhase::Stopped) {
        // A stopped check that ran to its end after all: its answers were not waited for.
        if (answered || outcome.end == TRunEnd::LineLost || outcome.end == TRunEnd::Abandoned)
            m_phase = TPhase::Idle;
        return;
    }
    if (answered)
        ReportVerification();
    else
        StopVerification(outcome);
}

void TVerifyCommands::ReportVerification()
{
    m_phase = TPhase::Idle;
    for (const std::string &line : m_verification.ProblemLines())
        m_window.Log().LogWarn(line);
    bool allMatch = false;
    const std::string summary = m_verification.Summary(&allMatch);
    if (allMatch)
        m_window.Log().LogInfo(summary);
    else
        m_window.Log().LogWarn(summary);
    std::map<TCmd, std::string> device;
    for (const TVerification::TItem *item : m_verification.Differing())
        device[item->cmd] = *item->device;
    m_tracking->SetDeviceValues(std::move(device));
}

void TVerifyCommands::StopVerification(const TRunOutcome &outcome)
{
    m_window.Log().LogWarn(TVerification::StoppedLine(outcome.end, outcome.command));
    m_window.ProgressBar()->hide();
    const bool mayGoOn
        = outcome.end == TRunEnd::DeviceSilent || outcome.end == TRunEnd::NotUnderstood;
    m_phase = mayGoOn ? TPhase::Stopped : TPhase::Idle;
}

bool TVerifyCommands::AskBeforeWriting()
{
    QStringList lines;
    for (const std::string &line : m_tracking->ChangeLines())
        lines << Q(line);
    const QString question
        = Lang("info_ConfirmWrite") + QLatin1Char('\n') + Q(m_tracking->StatusText());
    if (TDialogs::Question(&m_window, Lang("lang_btnSetAll"), question,
                           lines.join(QLatin1Char('\n'))))
        return true;
    m_window.Log().LogInfo(LangText("info_WriteCancelled"));
    return false;
}

void TVerifyCommands::mniCompareIniClick()
{
    const QString path = TDialogs::OpenFileName(&m_window, Lang("lang_mniCompareIni"), m_lastFolder,
                                                Lang("info_IniFilter"));
    if (path.isEmpty())
        return;
    m_lastFolder = QFileInfo(path).absolutePath();
    CompareWithFile(path);
}

void TVerifyCommands::CompareWithFile(const QString &path)
{
    const std::string file = path.toStdString();
    TIniFile ini;
    if (const TFileOutcome read = ReadConfigFile(file, ini); !read.ok || read.missing) {
        const std::string reason = read.ok ? std::string(std::strerror(ENOENT)) : read.reason;
        m_window.Log().LogWarn(LangFormat("info_CfgReadFail", {file, reason}));
        return;
    }
    // Anything reads as an INI text; one that names no mode is no configuration of ours, and
    // would compare its defaults.
    if (!ini.Value("WKMOD", "WKMOD")) {
        m_window.Log().LogWarn(LangFormat("info_ProvNoMode", {file}));
        return;
    }
    const std::vector<TValueDifference> differences
        = Differences(TakePanelValues(m_session.Panel()), FileValues(ini));
    const std::string total = std::to_string(SetParameters().size());
    if (differences.empty()) {
        m_window.Log().LogInfo(LangFormat("info_CompareSame", {file, total}));
        return;
    }
    m_window.Log().LogInfo(
        LangFormat("info_CompareDiffer", {file, std::to_string(differences.size()), total}));
    for (const TValueDifference &d : differences)
        m_window.Log().LogInfo(LangFormat(
            "info_CompareLine", {CmdName(d.cmd), ShownValue(d.before), ShownValue(d.after)}));
}

void TVerifyCommands::ApplyTexts(TTextStep step)
{
    if (step == TTextStep::Captions) {
        SetCaptionByKey(m_btnVerify, "lang_btnVerify");
        SetCaptionByKey(m_mniCompareIni, "lang_mniCompareIni");
        SetCaptionByKey(m_mniConfirmWrite, "lang_mniConfirmWrite");
    } else if (step == TTextStep::Hints) {
        SetHintByKey(m_btnVerify, "hint_btnVerify");
        m_tracking->Refresh();
    }
}

} // namespace m845
