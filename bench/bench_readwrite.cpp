// A full read-all and write-all through the whole window against the simulated device, with the
// default command pause: wall time against the floor the pauses and the block cutting allow,
// and the longest event-loop stall during each run. Runs offscreen or under a display.
//
//   bench_readwrite [--delay MS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>

#include "simwindow.h"
#include "stallmeter.h"
#include "devsim/simserver.h"
#include "lang/langlist.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace {

using m845::bench::StallMeter;

int Completions(m845::TFrm_Main &window)
{
    window.Log().Flush();
    return static_cast<int>(
        window.Log().Dialog()->toPlainText().count(QStringLiteral("Operation complete")));
}

bool WaitCompletions(m845::TFrm_Main &window, int count)
{
    return QTest::qWaitFor([&] { return Completions(window) >= count; }, 120000);
}

} // namespace

int main(int argc, char **argv)
{
    int delay = m845::kDefaultCommandDelay;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--delay") == 0 && i + 1 < argc)
            delay = std::atoi(argv[++i]);
    }
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    const auto langDir
        = std::filesystem::temp_directory_path() / ("m845-bench-rw-" + std::to_string(::getpid()));
    std::filesystem::create_directories(langDir);
    m845::InitLanguage((langDir / "M845Lang.txt").string());
    m845::LangList()->IsChinese = false;

    m845::devsim::SimServer sim{m845::devsim::SimOptions{}};
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    int rc = 0;
    {
        m845::TDeviceSession *session = nullptr;
        m845::TFrm_Main window([&](m845::TFrm_Main &w) {
            auto part = std::make_unique<m845::TDeviceSession>(w);
            session = part.get();
            w.AdoptPart(std::move(part));
        });
        session->Sequencer().SetCommandDelay(delay);
        window.show();
        // Command mode first, so the runs measure the queries and not the five-second time-out.
        if (!m845::bench::OpenInCommandMode(window, sim))
            return 1;

        const int interval = 60; // the read interval at 115200 baud
        const double lineMs = 10.0 * 1000.0 / 115200.0;
        StallMeter stalls;
        QElapsedTimer wall;

        stalls.Start();
        wall.start();
        window.findChild<QPushButton *>(QStringLiteral("btnAskAll"))->click();
        if (!WaitCompletions(window, 2))
            rc = 1;
        const double readMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
        const double readStall = stalls.StopMs();
        const std::size_t readLines = sim.Trace().size();

        stalls.Start();
        wall.start();
        window.findChild<QPushButton *>(QStringLiteral("btnSetAll"))->click();
        if (!WaitCompletions(window, 3))
            rc = 1;
        const double writeMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
        const double writeStall = stalls.StopMs();
        const std::size_t writeLines = sim.Trace().size() - readLines;

        // Each query line is about 12 bytes and each answer about 30 (echo on): both ways of line
        // time.
        const double readFloor = 41.0 * (delay + interval) + 41.0 * 42.0 * lineMs;
        const double writeFloor
            = static_cast<double>(writeLines) * (delay + interval + 45.0 * lineMs);
        std::printf("command pause %d ms, read interval %d ms, 115200 baud\n", delay, interval);
        std::printf("read-all : 41 queries in %8.1f ms (floor %8.1f ms, +%5.1f%%), longest stall "
                    "%6.2f ms\n",
                    readMs, readFloor, 100.0 * (readMs - readFloor) / readFloor, readStall);
        std::printf("write-all: %2zu lines   in %8.1f ms (floor %8.1f ms, +%5.1f%%), longest stall "
                    "%6.2f ms\n",
                    writeLines, writeMs, writeFloor, 100.0 * (writeMs - writeFloor) / writeFloor,
                    writeStall);
        std::printf("figure: read-all, 41 queries | %.0f ms | floor %.0f ms | %.2f\n", readMs,
                    readFloor, readMs / readFloor);
        std::printf("figure: read-all, longest event-loop stall | %.1f ms | | \n", readStall);
        std::printf("figure: write-all, %zu lines | %.0f ms | floor %.0f ms | %.2f\n", writeLines,
                    writeMs, writeFloor, writeMs / writeFloor);
        std::printf("figure: write-all, longest event-loop stall | %.1f ms | | \n", writeStall);
        if (rc != 0)
            std::printf("a run did not complete\n");
        window.Link().CloseLink();
    }
    sim.Stop();
    m845::ReleaseLanguage();
    std::filesystem::remove_all(langDir);
    return rc;
}
