#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QScopeGuard>
#include <QTimer>

#include "app/options.h"
#include "lang/langlist.h"
#include "provision/batch.h"
#include "serial/portlist.h"
#include "ui/config/configcommands.h"
#include "ui/link/reopencontrol.h"
#include "ui/link/serialbar.h"
#include "ui/monitor/monitorpart.h"
#include "ui/provision/provisioning.h"
#include "ui/terminal/terminaltools.h"
#include "ui/verify/verifycommands.h"
#include "ui/window/aboutwindow.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"
#include "ui/window/sharedblock.h"

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

// Qt's notes about running without a screen are no progress lines.
void OnlyGraveQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

m845::TProvisionRequest RequestOf(const m845::TOptions &o)
{
    using TAction = m845::TProvisionRequest::TAction;
    m845::TProvisionRequest request;
    request.action = !o.readFile.empty()     ? TAction::Read
                     : !o.writeFile.empty()  ? TAction::Write
                     : !o.verifyFile.empty() ? TAction::Verify
                                             : TAction::None;
    request.port = o.ports.front();
    request.file = !o.readFile.empty()    ? o.readFile
                   : !o.writeFile.empty() ? o.writeFile
                                          : o.verifyFile;
    request.firmware = o.firmwareFile;
    request.expectVersion = o.expectVersion;
    request.report = o.reportFile;
    request.station = o.station;
    request.prefix = o.prefix;
    request.baud = o.baud;
    request.timeoutSeconds
        = o.timeoutSeconds.value_or(o.firmwareFile.empty() ? m845::kDefaultTimeoutSeconds
                                                           : m845::kDefaultFirmwareTimeoutSeconds);
    request.quiet = o.quiet;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    request.colour = terminal && std::getenv("NO_COLOR") == nullptr;
    request.bell = terminal;
    request.chinese = o.chinese;
    request.pauseMs = o.pauseMs;
    request.replyMs = o.replyMs;
    if (o.probeMs)
        request.probeMs = *o.probeMs;
    return request;
}

// Several ports: everything that can be checked is, before any child starts; then one child
// process per port, the program itself with that port alone.
int ProvisionInParallel(const m845::TOptions &o, m845::TProvisionRequest request)
{
    request.checkOnly = true;
    m845::TProvisioning check(request, std::cerr, std::cout);
    if (check.Run() != 0)
        return kUsageError;
    std::error_code ec;
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    std::vector<std::vector<std::string>> args;
    for (const std::string &port : o.ports)
        args.push_back(m845::ChildArguments(o, port, m845::PortShortName(port)));
    return m845::RunPortsInParallel(program, o.ports, args, o.reportFile, o.quiet, std::cerr);
}

// Provisioning runs: the window's parts without a screen, progress on stderr.
int Provision(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(&OnlyGraveQtMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m845tool"));
    const m845::TParseResult parsed = m845::ParseOptions(Arguments(argc, argv), false);
    if (!parsed.error.empty())
        return UsageError(parsed.error);
    const m845::TOptions &o = parsed.options;
    const m845::TProvisionRequest request = RequestOf(o);
    // The messages before any run, in the run's language.
    m845::InitBuiltInLanguage(o.chinese.value_or(m845::TLangList::SystemIsChinese()));
    const auto release = qScopeGuard([] { m845::ReleaseLanguage(); });
    if (const std::string bad = m845::CheckPorts(o.ports); !bad.empty())
        return UsageError(bad);
    if (o.ports.size() > 1)
        return ProvisionInParallel(o, request);
    m845::TProvisioning run(request, std::cerr, std::cout);
    return run.Run();
}

// The port list read ahead, taken by the port box's first look at the system's ports.
std::optional<std::vector<std::string>> g_portsReadAhead;

std::vector<std::string> PortsReadAheadOnce()
{
    if (!g_portsReadAhead)
        return m845::ReadPortNames();
    std::vector<std::string> ports = std::move(*g_portsReadAhead);
    g_portsReadAhead.reset();
    return ports;
}

// What the first window needs and Qt does not do itself, done on a second thread while Qt
// connects to the display (some 10 ms), and ready before the window is built.
class TEarlyStart final
{
public:
    TEarlyStart()
        : m_thread([this] { Run(); })
    {}
    ~TEarlyStart() { Join(); }
    TEarlyStart(const TEarlyStart &) = delete;
    TEarlyStart &operator=(const TEarlyStart &) = delete;

    // After it, the language list is in place and the port list read.
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    [[nodiscard]] const m845::TLangFileProblem &LanguageProblem() const
    {
        return m_languageProblem;
    }

private:
    void Run()
    {
        // Fontconfig reads and parses its configuration files, some 2 ms, when the first font is
        // looked up. Where Qt's text goes through fontconfig (the library is then loaded
        // already), that is done here; fontconfig takes whichever start finishes first.
        using TInit = int (*)();
        if (auto *init = reinterpret_cast<TInit>(::dlsym(RTLD_DEFAULT, "FcInit")))
            init();
        m_languageProblem = m845::InitLanguage();
        g_portsReadAhead = m845::ReadPortNames();
    }

    m845::TLangFileProblem m_languageProblem;
    std::thread m_thread;
};

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
    if (parsed.options.Provisioning())
        return Provision(argc, argv);

    TEarlyStart early;
    // Mapped before the application starts and unmapped after it ends.
    const m845::TSharedBlock sharedBlock;
    // The menu bar belongs to the window's top edge, also on desktops with a global menu; and
    // asking the session bus for one blocked the building of the window.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m845tool"));
    // Ties the windows to the installed desktop entry (task bar icon, grouping).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.example.M845Tool"));
    // Qt has taken its own options; whatever single-dash argument is left, it did not know.
    parsed = m845::ParseOptions(Arguments(argc, argv), false);
    if (!parsed.error.empty())
        return UsageError(parsed.error);
    early.Join();

    // The device side and the configuration file join the window before its creation steps
    // run; the configuration goes first at close, while the session it reads still exists.
    m845::TFrm_Main mainWindow([&parsed, &early](m845::TFrm_Main &window) {
        window.AdoptLanguage(early.LanguageProblem());
        window.SerialBar().PortBox()->PortSource = &PortsReadAheadOnce;
        auto session = std::make_unique<m845::TDeviceSession>(window);
        auto config = std::make_unique<m845::TConfigCommands>(window, *session);
        auto verify = std::make_unique<m845::TVerifyCommands>(window, *session, config.get());
        auto terminal = std::make_unique<m845::TTerminalTools>(window, *config);
        auto reopen = std::make_unique<m845::TReopenControl>(window, *config);
        auto monitor = std::make_unique<m845::TMonitorPart>(window, *session, config.get());
        window.AdoptPart(std::move(session));
        window.AdoptPart(std::move(config));
        window.AdoptPart(std::move(verify));
        window.AdoptPart(std::move(terminal));
        window.AdoptPart(std::move(reopen));
        window.AdoptPart(std::move(monitor));
        if (const auto chinese = parsed.options.chinese)
            window.OverrideLanguage(*chinese);
    });
    mainWindow.show();
    // Created hidden as before the event loop runs, only after the first window, which needs
    // none of it.
    m845::Tfrm_About about(&mainWindow);
    mainWindow.SetAboutWindow(&about);
    // The task bar icon follows in the first turn of the event loop: reading its three sizes
    // (the largest 256 px) and handing them to the window system held up the first window by
    // about 2 ms of CPU time.
    QTimer::singleShot(0, &app, [] {
        QIcon icon;
        for (const int size : {32, 64, 256})
            icon.addFile(QStringLiteral(":/m845/icon-%1.png").arg(size), QSize(size, size));
        QApplication::setWindowIcon(icon);
    });
    return QApplication::exec();
}
