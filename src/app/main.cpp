#include <memory>

#include <QApplication>

#include "ui/aboutwindow.h"
#include "ui/configcommands.h"
#include "ui/devicesession.h"
#include "ui/mainwindow.h"
#include "ui/sharedblock.h"

int main(int argc, char **argv)
{
    // Mapped before the application starts and unmapped after it ends.
    const m845::TSharedBlock sharedBlock;
    QApplication app(argc, argv);
    // The device side and the configuration file join the window before its creation steps
    // run; the configuration goes first at close, while the session it reads still exists.
    m845::TFrm_Main mainWindow([](m845::TFrm_Main &window) {
        auto session = std::make_unique<m845::TDeviceSession>(window);
        auto config = std::make_unique<m845::TConfigCommands>(window, *session);
        window.AdoptPart(std::move(session));
        window.AdoptPart(std::move(config));
    });
    m845::Tfrm_About about(&mainWindow);
    mainWindow.SetAboutWindow(&about);
    mainWindow.show();
    return QApplication::exec();
}
