#pragma once

// Joins the device protocol to the window: the parameter panel, the reply applier and the
// command sequencer, fed by the link's received blocks and the command buttons, and the firmware
// upgrade, which gets the first look at every received block.

#include <functional>
#include <memory>

#include <QObject>

#include "protocol/reply.h"
#include "protocol/sequencer.h"
#include "ui/common/qttimer.h"
#include "ui/common/textsetters.h"

class QProgressBar;

namespace m845 {

class TFirmwareControl;
class TFrm_Main;
class TParamPanel;

// Whether setting the bar to complete of total shows anything new: another whole percent, the
// first or the last step, another total, a step back (a new run), or a hidden bar. A firmware
// upload reports each of its thousands of blocks, and every setting costs the window thread a
// style look-up, often a repaint, just as the next block is due.
[[nodiscard]] bool ProgressMoves(const QProgressBar &bar, int total, int complete);

// What may hold the line for a while (the signal monitor while its own query is out): presses
// and the window's parts' operations wait for it, in the order they came.
class ILineHolder
{
public:
    virtual ~ILineHolder() = default;
    // Carry the press out with TDeviceSession::CarryOut, now or once the line is free.
    virtual void SubmitPress(int tag) = 0;
    virtual void SubmitAction(std::function<void()> action) = 0;
};

class TDeviceSession final : public QObject, private IProgress, private IRunEvents
{
    Q_OBJECT
public:
    // Puts the panel into the window's parameter side and hooks itself into the window's
    // creation steps (panel texts, the start-up NET selection): create it from the window's
    // wiring step, before those steps run, and hand it to the window with AdoptPart.
    explicit TDeviceSession(TFrm_Main &window);
    ~TDeviceSession() override;

    [[nodiscard]] TParamPanel &Panel() const { return *m_panel; }
    [[nodiscard]] TReplyApplier &Applier() { return m_applier; }
    [[nodiscard]] TSequencer &Sequencer() { return m_sequencer; }
    [[nodiscard]] TFirmwareControl &Firmware() const { return *m_firmware; }
    // While it says yes, a run shows no progress bar (a poll that runs every few seconds).
    std::function<bool()> ProgressHidden;

    // Every press of a command-area button: past the guards (a guard that says no ends it),
    // then to the line's holder, which carries it out when the line is free.
    void Press(int tag);
    // A guard that answers false for a press stops it (a confirmation the technician declined).
    void SetPressGuard(std::function<bool(int tag)> guard) { m_pressGuard = std::move(guard); }
    // An operation of a part of the window that starts a run (a verification): it waits for the
    // line like a press.
    void WhenLineFree(std::function<void()> action);
    void SetLineHolder(ILineHolder *holder) { m_lineHolder = holder; }
    // What a press does once the line is free.
    void CarryOut(int tag);

signals:
    // The sequencer's runs as they start and end, and each refusal on the way.
    void RunStarted(int runId, m845::TRunKind kind);
    void CommandRefused(int runId, const QString &command, const QString &refusal);
    void RunEnded(const m845::TRunOutcome &outcome);
    // A block arrived from the device; the terminal sent a line or an SMS.
    void BlockReceived();
    void TerminalSent();

private:
    void ShowProgress(int total, int complete) override;
    void OnRunStarted(int runId, TRunKind kind) override;
    void OnCommandRefused(int runId, std::string_view command, std::string_view refusal) override;
    void OnRunEnded(const TRunOutcome &outcome) override;
    void HideProgress() override;
    void ApplyPanelTexts(TTextStep step);

    TFrm_Main &m_window;
    TParamPanel *m_panel = nullptr;
    QProgressBar *m_rzpbWhile = nullptr;
    TQtTimer m_pauseTimer;
    TReplyApplier m_applier;
    TSequencer m_sequencer;
    std::unique_ptr<TFirmwareControl> m_firmware;
    std::function<bool(int tag)> m_pressGuard;
    ILineHolder *m_lineHolder = nullptr;
};

} // namespace m845
