#pragma once

// Joins the firmware upgrade to the window: the file choice behind the "Fw Upgrade" button, the
// two check marks of its options menu, the file-open dialog and the block timer.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

#include "core/firmwarewindow.h"
#include "ui/common/qttimer.h"

class QAction;
class QFileDialog;

namespace m845 {

class IProgress;
class TFirmwareUpgrade;
class TFrm_Main;

class TFirmwareControl final : public QObject, public IFirmwareWindow
{
    Q_OBJECT
public:
    // progress is the window's progress bar, shared with the command runs.
    TFirmwareControl(TFrm_Main &window, IProgress &progress);
    ~TFirmwareControl() override;

    [[nodiscard]] TFirmwareUpgrade &Upgrade() const { return *m_upgrade; }

    [[nodiscard]] bool OverRestart() const override;
    [[nodiscard]] bool ShowDataStream() const override;
    [[nodiscard]] std::optional<std::string>
    AskFirmwareFile(const TFileDialogRequest &request) override;

    // Shows the prepared dialog and gives the chosen file, nothing when cancelled. A test puts
    // its own answer here.
    std::function<std::optional<QString>(QFileDialog &dialog)> RunDialog;

private:
    [[nodiscard]] bool OptionChecked(QPointer<QAction> &action, const char *name) const;

    TFrm_Main &m_window;
    mutable QPointer<QAction> m_overRestart;
    mutable QPointer<QAction> m_showDataStream;
    TQtTimer m_tmrXModemTx;
    std::unique_ptr<TFirmwareUpgrade> m_upgrade;
};

} // namespace m845
