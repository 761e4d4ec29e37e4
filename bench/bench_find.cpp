// Find in a full log: the whole window with 65 000 lines in its log, a technician typing a
// text into the find bar (one key every 120 ms), once on a quiet log and once while entries
// keep arriving. Prints the longest event-loop stall while typing and how long the count of
// each text took to complete, beside what one look through the whole log costs in one go
// (QTextDocument::find, the way a find without slices would stall). Run under a display or
// offscreen: xvfb-run -a bench_find.
//
//   bench_find [--lines N] [--text T]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <QtCore/qtestsupport_core.h>
#include <QtWidgets/qtestsupport_widgets.h>

#include "stallmeter.h"
#include "lang/langlist.h"
#include "ui/config/configcommands.h"
#include "ui/terminal/findbar.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/terminaltools.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace {

using m845::bench::StallMeter;

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct TRun
{
    double worstMs = 0;
    int over16 = 0;
    double slowestCountMs = 0;
    double findWorkMs = 0;
    int matches = 0;
};

// Types text into the find field, one key every 120 ms; stream adds entries meanwhile.
TRun Type(m845::TFrm_Main &window, m845::TFindBar &bar, const QString &text, bool stream)
{
    TRun run;
    QLineEdit *field = bar.Field();
    field->clear();
    Pump(200);
    StallMeter stalls;
    QTimer feed;
    int fed = 0;
    QObject::connect(&feed, &QTimer::timeout, &feed, [&] {
        for (int i = 0; i < 5; ++i)
            window.Log().LogRxOther("+CSQ: 23,99\r\nOK " + std::to_string(++fed));
    });
    if (stream)
        feed.start(20);
    bar.ResetLongestWork();
    stalls.Start();
    for (const QChar c : text) {
        QElapsedTimer counted;
        counted.start();
        field->insert(QString(c)); // as a key typed into the field
        while (!bar.Search().Counted() && counted.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        run.slowestCountMs = std::max(run.slowestCountMs, counted.nsecsElapsed() / 1e6);
        Pump(static_cast<int>(std::max<qint64>(0, 120 - counted.elapsed())));
    }
    feed.stop();
    run.worstMs = stalls.StopMs();
    run.over16 = stalls.FramesMissed();
    run.matches = bar.Search().Count();
    run.findWorkMs = bar.LongestWorkNs() / 1e6;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    int lines = 65000;
    QString text = QStringLiteral("+csq: 23");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--lines") == 0)
            lines = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--text") == 0)
            text = QString::fromLocal8Bit(argv[++i]);
    }
    QApplication app(argc, argv);
    const std::string dir
        = "/tmp/m845-bench-find-" + std::to_string(QCoreApplication::applicationPid());
    qputenv("M845_DATA_DIR", QByteArray::fromStdString(dir));
    m845::TTerminalTools *tools = nullptr;
    m845::TFrm_Main window([&tools](m845::TFrm_Main &w) {
        auto session = std::make_unique<m845::TDeviceSession>(w);
        auto config = std::make_unique<m845::TConfigCommands>(w, *session);
        auto terminal = std::make_unique<m845::TTerminalTools>(w, *config);
        tools = terminal.get();
        w.AdoptPart(std::move(session));
        w.AdoptPart(std::move(config));
        w.AdoptPart(std::move(terminal));
    });
    window.show();
    window.activateWindow();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));

    // The log filled as traffic fills it: entries of a device answering queries.
    QElapsedTimer fill;
    fill.start();
    QPlainTextEdit *log = window.Log().Dialog();
    for (int i = 0; log->document()->blockCount() < lines; ++i) {
        window.Log().LogRxOther("+CSQ: " + std::to_string(i % 32) + ",99 OK " + std::to_string(i));
        if (i % 500 == 0)
            window.Log().Flush();
    }
    window.Log().Flush();
    std::printf("log: %d lines, filled in %.1f s\n", log->document()->blockCount(),
                fill.elapsed() / 1000.0);

    QElapsedTimer once;
    once.start();
    int naive = 0;
    for (QTextCursor c = log->document()->find(text); !c.isNull();
         c = log->document()->find(text, c))
        ++naive;
    const double naiveMs = once.nsecsElapsed() / 1e6;
    std::printf("one look through the whole log in one go: %.1f ms (%d matches)\n", naiveMs, naive);

    // The machine's own noise: the same window, idle, for as long as the typing takes.
    Pump(1000); // the first paint of the full log
    StallMeter idle;
    idle.Start();
    Pump(1000);
    const double idleMs = idle.StopMs();
    std::printf("idle window for 1 s: longest stall %.1f ms (over 16 ms: %d)\n", idleMs,
                idle.FramesMissed());

    m845::TFindBar &bar = tools->Find();
    bar.Open();
    const TRun quiet = Type(window, bar, text, false);
    std::printf("typing \"%s\", quiet log: longest stall %.1f ms (over 16 ms: %d), the find's "
                "longest turn %.1f ms, slowest count %.1f ms, %d matches\n",
                qPrintable(text), quiet.worstMs, quiet.over16, quiet.findWorkMs,
                quiet.slowestCountMs, quiet.matches);
    const TRun busy = Type(window, bar, text, true);
    std::printf("typing \"%s\", entries arriving: longest stall %.1f ms (over 16 ms: %d), the "
                "find's longest turn %.1f ms, slowest count %.1f ms, %d matches\n",
                qPrintable(text), busy.worstMs, busy.over16, busy.findWorkMs, busy.slowestCountMs,
                busy.matches);
    std::printf("figure: find in a full log, its longest turn while typing | %.1f ms | frame 16 ms "
                "| %.2f\n",
                std::max(quiet.findWorkMs, busy.findWorkMs),
                std::max(quiet.findWorkMs, busy.findWorkMs) / 16.0);
    std::printf("figure: find in a full log, longest event-loop stall while typing | %.1f ms | "
                "one look in one go %.1f ms | %.2f\n",
                std::max(quiet.worstMs, busy.worstMs), naiveMs,
                std::max(quiet.worstMs, busy.worstMs) / naiveMs);
    bar.Close();
    window.close();
    QDir(QString::fromStdString(dir)).removeRecursively();
    return 0;
}
