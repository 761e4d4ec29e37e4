#include "ui/window/devicesession.h"

#include <cstdint>

#include <QProgressBar>

#include "firmware/firmwareupgrade.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/panel/parampanel.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

TDeviceSession::TDeviceSession(TFrm_Main &window)
    : m_window(window)
    // Built in its place: joining the window later, it would change font, and each of its lists
    // would build its drop-down there and then.
    , m_panel(new TParamPanel(window.ParameterHost()))
    , m_rzpbWhile(window.ProgressBar())
    , m_pauseTimer(kDefaultCommandDelay, this)
    , m_applier(*m_panel, window.Log())
    , m_sequencer(window.Link(), window.Log(), window.RcvTimer(), m_pauseTimer, m_applier, *this)
{
    // A coarse timer may fire early; the command pause must never be shorter than asked.
    m_pauseTimer.SetTimerType(Qt::PreciseTimer);
    window.InstallParameterPanel(m_panel);
    m_firmware = std::make_unique<TFirmwareControl>(window, static_cast<IProgress &>(*this));
    m_sequencer.SetReceiveHook(&m_firmware->Upgrade());
    m_sequencer.SetRunEvents(this);
    // A closed or lost port ends the run in progress.
    connect(&window.Link(), &TLinkControl::PortOpenChanged, this, [this](bool open) {
        if (!open)
            m_sequencer.LinkLost();
    });

    window.Link().DispatchReceived = [this](const std::uint8_t *buffer, std::uint16_t length) {
        m_sequencer.DispatchReceived(buffer, length);
        emit BlockReceived();
    };
    window.DoClick = [this](int tag) {
        Press(tag);
    };
    // The terminal's sends, and their reset of the operation, wait behind a command pause
    // like everything else, so nothing typed overtakes the queued line.
    window.SendPane().ClearOperationMode = [this] {
        m_sequencer.RunAfterPause([this] { m_sequencer.SetOperationMode(TOperationMode::None); });
    };
    window.SendPane().SendData = [this](std::string_view data) {
        m_sequencer.RunAfterPause([this, bytes = std::string(data)] {
            m_window.Link().SendData(bytes);
            emit TerminalSent();
        });
    };
    window.SendPane().SendSms = [this](const std::string &number, const std::string &text) {
        m_sequencer.RunAfterPause([this, number, text] {
            m_sequencer.SendSms(number, text);
            emit TerminalSent();
        });
    };
    connect(&window, &TFrm_Main::ApplyingTexts, this, &TDeviceSession::ApplyPanelTexts);
    // The panel always starts in NET mode, whatever mode it held before.
    connect(&window, &TFrm_Main::SelectingStartMode, this,
            [this] { m_panel->SetRadioChecked(PanelRadio::NetTran, true); });
}

TDeviceSession::~TDeviceSession()
{
    // The window outlives the session by a little while it closes: leave no hook behind.
    m_sequencer.SetReceiveHook(nullptr);
    m_sequencer.SetRunEvents(nullptr);
    m_window.Link().DispatchReceived = nullptr;
    m_window.DoClick = nullptr;
    m_window.SendPane().ClearOperationMode = nullptr;
    m_window.SendPane().SendData = [link = &m_window.Link()](std::string_view data) {
        link->SendData(data);
    };
    m_window.SendPane().SendSms = nullptr;
}

void TDeviceSession::Press(int tag)
{
    if (m_pressGuard && !m_pressGuard(tag))
        return;
    if (m_lineHolder != nullptr)
        m_lineHolder->SubmitPress(tag);
    else
        CarryOut(tag);
}

void TDeviceSession::WhenLineFree(std::function<void()> action)
{
    if (m_lineHolder != nullptr)
        m_lineHolder->SubmitAction(std::move(action));
    else
        action();
}

void TDeviceSession::CarryOut(int tag)
{
    m_sequencer.btnDoClick(tag);
}

void TDeviceSession::ApplyPanelTexts(TTextStep step)
{
    m_panel->ApplyTexts(step, [this] { m_applier.SetHardwareSign(m_applier.HardwareSign()); });
}

bool ProgressMoves(const QProgressBar &bar, int total, int complete)
{
    const auto percent = [total](int step) {
        return total > 0 ? std::int64_t{step} * 100 / total : 0;
    };
    return bar.isHidden() || bar.maximum() != total || complete < bar.value() || complete == 0
           || complete >= total || percent(complete) != percent(bar.value());
}

void TDeviceSession::ShowProgress(int total, int complete)
{
    if ((ProgressHidden && ProgressHidden()) || !ProgressMoves(*m_rzpbWhile, total, complete))
        return;
    m_rzpbWhile->setMaximum(total);
    m_rzpbWhile->setValue(complete);
    m_rzpbWhile->setVisible(true);
}

void TDeviceSession::OnRunStarted(int runId, TRunKind kind)
{
    emit RunStarted(runId, kind);
}

void TDeviceSession::OnCommandRefused(int runId, std::string_view command, std::string_view refusal)
{
    emit CommandRefused(runId, QString::fromUtf8(command.data(), std::ssize(command)),
                        QString::fromUtf8(refusal.data(), std::ssize(refusal)));
}

void TDeviceSession::OnRunEnded(const TRunOutcome &outcome)
{
    emit RunEnded(outcome);
}

void TDeviceSession::HideProgress()
{
    m_rzpbWhile->setVisible(false);
}

} // namespace m845
