// The signal monitor's cost to the window: drawing a full ten-minute trend (at the default
// period, at one second and at ten polls a second), the signal log file of a two-day session,
// and a live monitor polling the simulated device as fast as its command pause allows, with
// the longest event-loop stall, the longest update of the monitor's panel and the longest
// trend paint meanwhile. Runs offscreen or under a display.
//
//   bench_monitor [--seconds N]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>

#include "simwindow.h"
#include "stallmeter.h"
#include "devsim/simserver.h"
#include "lang/langlist.h"
#include "monitor/signalmonitor.h"
#include "monitor/signaltrend.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/monitor/monitorpanel.h"
#include "ui/monitor/monitorpart.h"
#include "ui/monitor/signaltrendview.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace {

using m845::bench::StallMeter;

double Ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

// A trend whose last ten minutes hold one sample per period, wandering.
m845::TSignalTrend FullTrend(int periodMs, std::int64_t now)
{
    m845::TSignalTrend trend;
    int csq = 20;
    unsigned seed = 7;
    for (std::int64_t at = now - m845::kTrendSpanMs; at <= now; at += periodMs) {
        seed = seed * 1103515245U + 12345U;
        csq = std::clamp(csq + static_cast<int>((seed >> 16) % 7) - 3, 0, 31);
        trend.Add({at, 1772619302000 + at, (seed >> 8) % 40 == 0 ? 99 : csq, "CONNECTED", ""});
    }
    return trend;
}

void PaintFigures()
{
    constexpr std::int64_t kNow = 10'000'000;
    for (const int period : {2000, 1000, 100}) {
        const m845::TSignalTrend trend = FullTrend(period, kNow);
        for (const int width : {420, 1200}) {
            m845::TSignalTrendView view;
            view.resize(width, 110);
            view.SetTrend(&trend, [] { return kNow; });
            QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
            // Untimed: the process's first paint loads its fonts, which a window has by then.
            view.render(&image);
            std::vector<double> times;
            for (int i = 0; i < 50; ++i) {
                QElapsedTimer clock;
                clock.start();
                view.render(&image);
                times.push_back(Ms(clock.nsecsElapsed()));
            }
            std::sort(times.begin(), times.end());
            std::printf("trend of %4zu samples, %4d px wide: paint median %.2f ms, worst %.2f ms\n",
                        trend.Samples().size(), width, times[times.size() / 2], times.back());
            if (width == 420)
                std::printf("figure: trend paint, 10 min at %d ms (%zu samples) | %.2f ms | 16 ms "
                            "frame | %.3f\n",
                            period, trend.Samples().size(), times.back(), times.back() / 16.0);
        }
    }
    m845::TSignalTrend big;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(m845::kSignalSampleCapacity); ++i)
        big.Add({i * 2000, 1772619302000 + i * 2000, static_cast<int>(i % 32), "CONNECTED",
                 "DISCONNECTED"});
    QElapsedTimer clock;
    clock.start();
    const std::string csv = m845::SignalCsv(big.Samples());
    const double csvMs = Ms(clock.nsecsElapsed());
    // The window writes it 2000 lines a turn.
    double chunkMs = 0;
    for (std::size_t from = 0; from < big.Samples().size(); from += 2000) {
        std::string chunk;
        clock.start();
        for (std::size_t i = from; i < std::min(from + 2000, big.Samples().size()); ++i)
            m845::AppendSignalCsvLine(big.Samples()[i], chunk);
        chunkMs = std::max(chunkMs, Ms(clock.nsecsElapsed()));
    }
    clock.start();
    const m845::TSpanStats stats = big.Stats(big.Samples().back().atMs - m845::kTrendSpanMs);
    const double statsMs = Ms(clock.nsecsElapsed());
    std::printf("signal log of %zu samples: %.1f MB in %.1f ms, the longest turn of 2000 lines "
                "%.2f ms; span figures of a full store %.3f ms (%d readings)\n",
                big.Samples().size(), static_cast<double>(csv.size()) / 1e6, csvMs, chunkMs,
                statsMs, stats.count);
    std::printf("figure: Save signal log as, longest turn of 2000 lines | %.2f ms | 16 ms frame "
                "| %.3f\n",
                chunkMs, chunkMs / 16.0);
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 40;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
    }
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    const auto dir
        = std::filesystem::temp_directory_path() / ("m845-bench-mon-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    m845::InitLanguage((dir / "M845Lang.txt").string());
    m845::LangList()->IsChinese = false;

    PaintFigures();

    m845::devsim::SimOptions options;
    options.model.csqWalk = true;
    options.model.seed = 7;
    options.model.linkDelay = std::chrono::seconds(2);
    options.model.linkDropEvery = std::chrono::seconds(15);
    m845::devsim::SimServer sim{options};
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    int rc = 0;
    {
        m845::TMonitorPart *part = nullptr;
        m845::TFrm_Main window([&](m845::TFrm_Main &w) {
            auto session = std::make_unique<m845::TDeviceSession>(w);
            auto monitor = std::make_unique<m845::TMonitorPart>(w, *session);
            part = monitor.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(monitor));
        });
        window.show();
        // Command mode first, so that the figures are the polls' and not the first time-out's.
        if (!m845::bench::OpenInCommandMode(window, sim))
            return 1;
        // As fast as the default command pause lets it: a poll every turn, links every second.
        part->Monitor().SetCsqPeriod(m845::kMinPollPeriodMs);
        part->Monitor().SetLinkPeriod(1000);
        // The same time with the monitor off: what the machine and the window stall anyway.
        StallMeter idle;
        idle.Start();
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < seconds * 1000LL)
            QTest::qWait(100);
        const double idleMs = idle.StopMs();

        // Switching on lays the window out anew once: timed on its own.
        StallMeter switching;
        switching.Start();
        window.findChild<QPushButton *>(QStringLiteral("btnMonitor"))->click();
        QTest::qWait(2000);
        const double switchMs = switching.StopMs();
        StallMeter stalls;
        stalls.Start();
        wall.start();
        while (wall.elapsed() < seconds * 1000LL)
            QTest::qWait(100);
        const double stallMs = stalls.StopMs();
        const std::size_t samples = part->Monitor().Trend().Samples().size();
        const double updateMs = Ms(part->LongestUpdateNs());
        const double paintMs = Ms(part->Panel().Trend()->LongestPaintNs());
        std::printf("live monitor for %d s: %zu samples (%.1f a second), longest event-loop stall "
                    "%.2f ms, longest panel update %.2f ms, longest trend paint %.2f ms\n",
                    seconds, samples, static_cast<double>(samples) / seconds, stallMs, updateMs,
                    paintMs);
        std::printf("the same window with the monitor off: longest event-loop stall %.2f ms; "
                    "switching it on: %.2f ms\n",
                    idleMs, switchMs);
        std::printf("gaps over 16 ms: %d with the monitor off, %d with it on (%d s each)\n",
                    idle.FramesMissed(), stalls.FramesMissed(), seconds);
        std::printf("figure: monitor running, longest event-loop stall | %.1f ms | monitor off "
                    "%.1f ms | %.2f\n",
                    stallMs, idleMs, stallMs / idleMs);
        std::printf(
            "figure: monitor running, longest panel update | %.2f ms | 16 ms frame | %.3f\n",
            updateMs, updateMs / 16.0);
        if (samples < 10)
            rc = 1;
        window.Link().CloseLink();
    }
    sim.Stop();
    m845::ReleaseLanguage();
    std::filesystem::remove_all(dir);
    return rc;
}
