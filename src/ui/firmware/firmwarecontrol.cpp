#include "ui/firmware/firmwarecontrol.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>

#include "firmware/firmwareupgrade.h"
#include "ui/link/linkcontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace m845 {

TFirmwareControl::TFirmwareControl(TFrm_Main &window, IProgress &progress)
    : m_window(window)
    , m_tmrXModemTx(kXModemTxInterval)
{
    m_tmrXModemTx.setObjectName(QStringLiteral("tmrXModemTx"));
    m_upgrade = std::make_unique<TFirmwareUpgrade>(window.Link(), window.Link(), window.Log(),
                                                   m_tmrXModemTx, progress, *this);
    RunDialog = [](QFileDialog &dialog) -> std::optional<QString> {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
    window.Link().ChooseFirmwareFile = [this] {
        m_upgrade->ChooseFirmwareFile();
    };
    connect(&window, &TFrm_Main::Closing, this, [this] { m_upgrade->CloseFirmwareFile(); });
}

TFirmwareControl::~TFirmwareControl()
{
    m_window.Link().ChooseFirmwareFile = nullptr;
}

bool TFirmwareControl::OptionChecked(QPointer<QAction> &action, const char *name) const
{
    // Looked up once: the transfer asks for each block it sends and each answer it gets.
    if (action == nullptr)
        action = m_window.FwUpOptMenu()->findChild<QAction *>(QString::fromLatin1(name));
    return action != nullptr && action->isChecked();
}

bool TFirmwareControl::OverRestart() const
{
    return OptionChecked(m_overRestart, "mniOverRestart");
}

bool TFirmwareControl::ShowDataStream() const
{
    return OptionChecked(m_showDataStream, "ShowDataStream");
}

std::optional<std::string> TFirmwareControl::AskFirmwareFile(const TFileDialogRequest &request)
{
    QFileDialog dialog(&m_window, QString::fromStdString(request.title),
                       QString::fromStdString(request.folder));
    dialog.setObjectName(QStringLiteral("dlgOpenFw"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    QStringList filters;
    for (const std::string &filter : request.filters)
        filters << QString::fromStdString(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.constFirst());
    const std::optional<QString> chosen = RunDialog(dialog);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    return chosen->toStdString();
}

} // namespace m845
