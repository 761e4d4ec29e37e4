#pragma once

// Seeing what was changed and proving what the device holds: the change marks on the panel,
// "Verify device" beside the four main commands, "Compare with file..." and the optional
// confirmation before "Set current parameters" in the File menu. The confirmation's setting is
// kept in a section of its own of the configuration file.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include <QObject>

#include "protocol/sequencer.h"
#include "protocol/verification.h"
#include "ui/common/textsetters.h"

class QAction;
class QPushButton;

namespace m845 {

class TChangeTracking;
class TConfigCommands;
class TDeviceSession;
class TFrm_Main;
class TIniFile;

inline constexpr std::string_view kVerifySection = "Verify";
inline constexpr std::string_view kConfirmWriteKey = "ConfirmWrite";

class TVerifyCommands final : public QObject
{
    Q_OBJECT
public:
    // Create it from the window's wiring step after the session (and the configuration part,
    // when there is one: config may be null), and hand it to the window with AdoptPart.
    TVerifyCommands(TFrm_Main &window, TDeviceSession &session, TConfigCommands *config);
    ~TVerifyCommands() override;
    TVerifyCommands(const TVerifyCommands &) = delete;
    TVerifyCommands &operator=(const TVerifyCommands &) = delete;

    void btnVerifyClick();
    void mniCompareIniClick();
    // The file's parameters beside the panel's, listed in the log; the panel is left alone.
    void CompareWithFile(const QString &path);

    [[nodiscard]] bool ConfirmWrite() const;
    void SetConfirmWrite(bool on);
    [[nodiscard]] TChangeTracking &Tracking() const { return *m_tracking; }

private:
    enum class TPhase : std::uint8_t {
        Idle,
        Running,
        // Ended without a result, but the queue may still move on (a late answer): answers to
        // its queries still stay out of the panel.
        Stopped,
    };

    void StartVerify();
    [[nodiscard]] bool FilterValue(std::string_view name, std::string_view value);
    void OnRunStarted(int runId, TRunKind kind);
    void OnRunEnded(const TRunOutcome &outcome);
    void ReportVerification();
    void StopVerification(const TRunOutcome &outcome);
    // false when the technician says no.
    [[nodiscard]] bool AskBeforeWriting();
    void ApplyTexts(TTextStep step);

    TFrm_Main &m_window;
    TDeviceSession &m_session;
    std::unique_ptr<TChangeTracking> m_tracking;
    QPushButton *m_btnVerify = nullptr;
    QAction *m_mniCompareIni = nullptr;
    QAction *m_mniConfirmWrite = nullptr;
    QString m_lastFolder;

    TVerification m_verification;
    TPhase m_phase = TPhase::Idle;
    int m_verifyRunId = 0;
    bool m_startingVerify = false;
    int m_readRunId = 0;
    std::set<std::string> m_reported;
};

} // namespace m845
