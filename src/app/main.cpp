#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>

#include "app/options.h"
#include "lang/langlist.h"
#include "ui/aboutwindow.h"
#include "ui/configcommands.h"
#include "ui/devicesession.h"
#include "ui/mainwindow.h"
#include "ui/sharedblock.h"

namespace {

constexpr int kUsageError = 2;

std::vector<std::string> Arguments(int argc, char **argv)
{
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

int UsageError(const std::string &error)
{
    std::fprintf(stderr, "m845tool: %s\nTry 'm845tool --help' for more information.\n",
                 error.c_str());
    return kUsageError;
}

} // namespace

int main(int argc, char **argv)
{
    // Help and version need no display, so they are answered before Qt starts.
    m845::TParseResult parsed = m845::ParseOptions(Arguments(argc, argv), true);
    if (!parsed.error.empty())
        return UsageError(parsed.error);
    if (parsed.options.help) {
        std::fputs(m845::HelpText("m845tool").c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::fputs(m845::VersionLine().c_str(), stdout);
        return 0;
    }

    // Mapped before the application starts and unmapped after it ends.
    const m845::TSharedBlock sharedBlock;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m845tool"));
    // Ties the windows to the installed desktop entry (task bar icon, grouping).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.M845Tool"));
    QIcon icon;
    for (const char *size : {"32", "64", "256"})
        icon.addFile(QStringLiteral(":/m845/icon-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    // Qt has taken its own options; whatever single-dash argument is left, it did not know.
    parsed = m845::ParseOptions(Arguments(argc, argv), false);
    if (!parsed.error.empty())
        return UsageError(parsed.error);

    // The device side and the configuration file join the window before its creation steps
    // run; the configuration goes first at close, while the session it reads still exists.
    m845::TFrm_Main mainWindow([&parsed](m845::TFrm_Main &window) {
        auto session = std::make_unique<m845::TDeviceSession>(window);
        auto config = std::make_unique<m845::TConfigCommands>(window, *session);
        window.AdoptPart(std::move(session));
        window.AdoptPart(std::move(config));
        if (const auto chinese = parsed.options.chinese)
            window.OverrideLanguage(*chinese);
    });
    m845::Tfrm_About about(&mainWindow);
    mainWindow.SetAboutWindow(&about);
    mainWindow.show();
    return QApplication::exec();
}
