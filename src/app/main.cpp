#include <memory>

#include <QApplication>

#include "ui/aboutwindow.h"
#include "ui/devicesession.h"
#include "ui/mainwindow.h"
#include "ui/sharedblock.h"

int main(int argc, char **argv)
{
    // Mapped before the application starts and unmapped after it ends.
    const m845::TSharedBlock sharedBlock;
    QApplication app(argc, argv);
    // The device side joins the window before its creation steps run.
    m845::TFrm_Main mainWindow([](m845::TFrm_Main &window) {
        window.AdoptPart(std::make_unique<m845::TDeviceSession>(window));
    });
    m845::Tfrm_About about(&mainWindow);
    mainWindow.SetAboutWindow(&about);
    mainWindow.show();
    return QApplication::exec();
}
