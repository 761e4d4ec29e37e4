// The communication log under a sustained text stream: a device streaming at 460 800 baud
// without pause, through a pty, into the whole window (port component, link, log), and at the
// same time the same stream into CuteCom for comparison. Run under a display:
// xvfb-run -a bench_log.
//
//   bench_log [--seconds N] [--baud B] [--no-cutecom]
//   bench_log --hour   an hour of the stream replayed 20 times faster, memory at each tenth

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <time.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QtCore/qtestsupport_core.h>
#include <QtWidgets/qtestsupport_widgets.h>

#include "lang/langlist.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pty
{
    int master = -1;
    int slave = -1;
    std::string path;
    Pty()
    {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        path = name;
        for (const int fd : {master, slave}) {
            fcntl(fd, F_SETFD, FD_CLOEXEC); // CuteCom must not inherit them
            termios tio{};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Pty()
    {
        if (master >= 0)
            close(master);
        if (slave >= 0)
            close(slave);
    }
};

// Writes text lines paced at 10 bits a byte for the given time; counts what went in.
struct Writer
{
    std::atomic<std::uint64_t> written{0};
    std::atomic<bool> done{false};
    double cpuSeconds = 0;
    std::thread thread;

    void Start(int fd, int baud, int seconds)
    {
        thread = std::thread([this, fd, baud, seconds] {
            std::string text;
            for (int i = 0; i < 2000; ++i) {
                char line[128];
                std::snprintf(
                    line, sizeof line,
                    "%07d +DATA: the quick brown fox jumps over the lazy dog 0123456789\r\n", i);
                text += line;
            }
            const double bytesPerSecond = baud / 10.0;
            const auto start = Clock::now();
            const auto end = start + std::chrono::seconds(seconds);
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            std::uint64_t sent = 0;
            std::size_t offset = 0;
            while (Clock::now() < end) {
                const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                auto due = static_cast<std::uint64_t>(elapsed * bytesPerSecond);
                while (sent < due) {
                    const std::size_t chunk
                        = std::min<std::uint64_t>(due - sent, text.size() - offset);
                    // A reader that falls behind fills the pty: wait for room, never past the end.
                    pollfd out{fd, POLLOUT, 0};
                    if (poll(&out, 1, 5) <= 0)
                        break;
                    const ssize_t n = write(fd, text.data() + offset, chunk);
                    if (n <= 0)
                        break;
                    sent += static_cast<std::uint64_t>(n);
                    offset = (offset + static_cast<std::size_t>(n)) % text.size();
                    written = sent;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            rusage usage{};
            getrusage(RUSAGE_THREAD, &usage);
            cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6
                         + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
            done = true;
        });
    }
    void Join()
    {
        if (thread.joinable())
            thread.join();
    }
};

// The longest stretch in which the event loop was busy without a break: what an input event
// waits at worst. Timed around the outermost dispatch of every event, so, unlike a fast ticking
// timer, it costs no wake-ups of its own and the CPU figure stays the window's. Dispatches less
// than half a millisecond apart count as one stretch. A stretch is timed on the wall clock (what
// the user waits) and on the thread's CPU clock (what the window did: on a shared machine a
// stretch can be long only because the thread was not running).
class TBenchApplication final : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_watching || m_depth > 0) {
            ++m_depth;
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        ++m_depth;
        const qint64 start = m_clock.nsecsElapsed();
        const qint64 cpuStart = ThreadCpuNs();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 end = m_clock.nsecsElapsed();
        const qint64 cpuEnd = ThreadCpuNs();
        --m_depth;
        if (start - m_stretchEnd > kMergeNs) {
            Count(m_stretchEnd - m_stretchStart);
            m_stretchStart = start;
            m_stretchCpuStart = cpuStart;
            m_stretch.clear();
            m_stretchEvents = 0;
        }
        m_stretchEnd = end;
        if (++m_stretchEvents <= 8)
            m_stretch += Describe(receiver, event, cpuEnd - cpuStart);
        if (end - m_stretchStart > worst) {
            worst = end - m_stretchStart;
            worstCpu = cpuEnd - m_stretchCpuStart;
        }
        if (cpuEnd - m_stretchCpuStart > mostCpu) {
            mostCpu = cpuEnd - m_stretchCpuStart;
            mostCpuEvents = m_stretch;
        }
        return handled;
    }
    void StartWatching()
    {
        m_clock.start();
        m_stretchStart = m_stretchEnd = -kMergeNs - 1;
        worst = worstCpu = mostCpu = 0;
        mostCpuEvents.clear();
        over16 = 0;
        over50 = 0;
        m_watching = true;
    }
    void StopWatching()
    {
        Count(m_stretchEnd - m_stretchStart);
        m_watching = false;
    }

    qint64 worst = 0;    // wall clock
    qint64 worstCpu = 0; // CPU time of that stretch
    qint64 mostCpu = 0;  // the most CPU time of any stretch
    std::string mostCpuEvents; // what that stretch dispatched
    int over16 = 0;
    int over50 = 0;

private:
    static constexpr qint64 kMergeNs = 500'000;
    static qint64 ThreadCpuNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
    }
    static std::string Describe(QObject *receiver, QEvent *event, qint64 cpu)
    {
        char text[160];
        std::snprintf(text, sizeof text, "; %s (event %d) %.1f ms",
                      receiver->metaObject()->className(), static_cast<int>(event->type()),
                      cpu / 1e6);
        return text;
    }
    void Count(qint64 stretch)
    {
        over16 += stretch > 16'000'000 ? 1 : 0;
        over50 += stretch > 50'000'000 ? 1 : 0;
    }
    QElapsedTimer m_clock;
    std::string m_stretch; // the first events of the current stretch
    int m_stretchEvents = 0;
    qint64 m_stretchStart = 0;
    qint64 m_stretchEnd = 0;
    qint64 m_stretchCpuStart = 0;
    int m_depth = 0;
    bool m_watching = false;
};

struct TEventCounter final : public QObject
{
    TEventCounter(QObject *watched, QEvent::Type type)
        : m_type(type)
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == m_type ? 1 : 0;
        return false;
    }
    int count = 0;

private:
    QEvent::Type m_type;
};

TBenchApplication &App()
{
    return *static_cast<TBenchApplication *>(QCoreApplication::instance());
}

// Runs the window's own event loop, as the program does, until done() holds; false on time-out.
// Unlike QTest::qWaitFor it neither sleeps between turns nor polls the loop 100 times a second;
// done() is asked four times a second.
bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(250);
    QTimer::singleShot(timeoutMs, &loop, [&] { loop.exit(1); });
    return done() || loop.exec() == 0;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line + " (2 cores, shared)\n";
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

long StatusKb(const std::string &statusPath, const char *field)
{
    std::ifstream in(statusPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

// CPU time of the calling thread: the window's share of the process's time.
double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

double ChildCpuSeconds(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(all.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool HoldsPath(qint64 pid, const std::string &path)
{
    std::error_code ec;
    for (const auto &entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code linkEc;
        if (std::filesystem::read_symlink(entry.path(), linkEc).string() == path)
            return true;
    }
    return false;
}

// CuteCom on a pty of its own, with a scratch home, its port opened the way a user does.
class TCuteCom
{
public:
    ~TCuteCom()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
        if (!m_home.empty())
            std::filesystem::remove_all(m_home);
    }

    bool Launch(int baud)
    {
        m_home = std::filesystem::temp_directory_path()
                 / ("m845-bench-cutecom-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_home + "/.config/CuteCom");
        std::ofstream(m_home + "/.config/CuteCom/CuteCom5.conf")
            << "[sessions]\n1\\BaudRate=" << baud << "\n1\\DataBits=8\n1\\Device=" << pty.path
            << "\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n"
               "1\\autoReconnect=false\n1\\name=Default\n1\\showCtrlCharacters=false\n"
               "1\\showTimestamp=false\nsize=1\n";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), QString::fromStdString(m_home));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_home + "/.config"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral("cutecom"), {});
        if (!m_process.waitForStarted(5000)) {
            std::printf("CuteCom: not started\n");
            return false;
        }
        pid = m_process.processId();
        m_status = "/proc/" + std::to_string(pid) + "/status";
        // Press its Open button (top left of its window) the way a user does.
        bool opened = false;
        for (int attempt = 0; attempt < 40 && !opened; ++attempt) {
            QTest::qWait(250);
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("w=$(xdotool search --pid %1 --name CuteCom | tail -1); "
                                "[ -n \"$w\" ] && xdotool mousemove --window $w 50 43 click 1")
                     .arg(pid)});
            QTest::qWait(250);
            opened = HoldsPath(pid, pty.path);
        }
        std::fprintf(stderr, "CuteCom pid %lld opened %s: %s\n", static_cast<long long>(pid),
                     pty.path.c_str(), opened ? "yes" : "no");
        if (!opened)
            std::printf("CuteCom: could not open %s (is xdotool installed?)\n", pty.path.c_str());
        return opened;
    }
    [[nodiscard]] double CpuSeconds() const { return ChildCpuSeconds(pid); }
    [[nodiscard]] long Kb(const char *field) const { return StatusKb(m_status, field); }

    Pty pty;
    qint64 pid = 0;

private:
    QProcess m_process;
    std::string m_home;
    std::string m_status;
};

// What the stream run measured, for the comparison lines printed at the end.
struct TStreamFigures
{
    double cpuSeconds = -1;
    double peakMb = -1;
};

// The stream into the window and, at the same time and under the same load, into CuteCom: the
// machine is shared, and what it does meanwhile moves CPU figures more than a run apart.
int RunStream(int baud, int seconds, TCuteCom *peer, TStreamFigures &figures,
              TStreamFigures &peerFigures)
{
    Pty pty;
    if (pty.slave < 0) {
        std::fprintf(stderr, "no pty\n");
        return 1;
    }
    m845::TFrm_Main window;
    window.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    window.SerialBar().PortBox()->setEditText(QString::fromStdString(pty.path));
    window.SerialBar()
        .findChild<QComboBox *>(QStringLiteral("cbbOpenBaud"))
        ->setCurrentText(QString::number(baud));
    window.SerialBar().OpenCloseButton()->click();
    if (!window.Link().IsPortOpen()) {
        std::fprintf(stderr, "could not open %s\n", pty.path.c_str());
        return 1;
    }
    QTest::qWait(200);
    window.Log().btnResetClick();
    // How the stream reached the log: blocks written, repaints of the log's text.
    int entries = 0;
    const QMetaObject::Connection counting = QObject::connect(
        &window.Log(), &m845::TLogPane::EntryWritten, &window.Log(),
        [&entries](m845::TLogKind, const QString &) { ++entries; });
    TEventCounter paints(window.Log().Dialog()->viewport(), QEvent::Paint);
    const long rssBefore = StatusKb("/proc/self/status", "VmRSS:");
    const long peerRssBefore = peer != nullptr ? peer->Kb("VmRSS:") : 0;
    const double cpuBefore = ProcessCpuSeconds();
    const double windowCpuBefore = ThreadCpuSeconds();
    const double peerCpuBefore = peer != nullptr ? peer->CpuSeconds() : 0;
    App().StartWatching();
    Writer writer;
    Writer peerWriter;
    const auto start = Clock::now();
    writer.Start(pty.master, baud, seconds);
    if (peer != nullptr)
        peerWriter.Start(peer->pty.master, baud, seconds);
    static_cast<void>(
        RunUntil([&] { return writer.done.load() && (peer == nullptr || peerWriter.done.load()); },
                 (seconds + 30) * 1000));
    const double peerCpu = peer != nullptr ? peer->CpuSeconds() - peerCpuBefore : 0;
    // Let the last block (cut by line silence) arrive.
    static_cast<void>(
        RunUntil([&] { return window.Log().RxCount() == writer.written.load(); }, 5000));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    writer.Join();
    peerWriter.Join();
    App().StopWatching();
    const double cpu = ProcessCpuSeconds() - cpuBefore - writer.cpuSeconds - peerWriter.cpuSeconds;
    const double windowCpu = ThreadCpuSeconds() - windowCpuBefore;
    std::printf("m845tool log: %d s at %d baud\n", seconds, baud);
    std::printf("  bytes in            %llu (%.0f B/s)\n",
                static_cast<unsigned long long>(writer.written.load()),
                writer.written.load() / wall);
    std::printf("  bytes counted       %u\n", window.Log().RxCount());
    std::printf("  entries / repaints  %d / %d\n", entries, paints.count);
    QObject::disconnect(counting);
    std::printf(
        "  longest loop stall  %.1f ms, %.1f ms of it running (busy stretches over 16 ms: %d, "
        "over 50 ms: %d; the most CPU in one: %.1f ms)\n",
        App().worst / 1e6, App().worstCpu / 1e6, App().over16, App().over50, App().mostCpu / 1e6);
    // The events of the stretch that cost the window the most CPU time, each with its own.
    std::printf("  busiest stretch     %s\n",
                App().mostCpuEvents.empty() ? "" : App().mostCpuEvents.c_str() + 2);
    std::printf("  longest log flush   %.1f ms\n", window.Log().LongestFlushNs() / 1e6);
    std::printf("  load average        %s", LoadAverage().c_str());
    std::printf("  CPU                 %.2f s (%.1f %% of one core)\n", cpu, 100.0 * cpu / wall);
    std::printf("    window thread     %.2f s, serial and other threads %.2f s\n", windowCpu,
                cpu - windowCpu);
    std::printf("  RSS before / peak   %ld / %ld kB\n", rssBefore,
                StatusKb("/proc/self/status", "VmHWM:"));
    const bool allCounted = window.Log().RxCount() == writer.written.load();
    figures.cpuSeconds = cpu;
    figures.peakMb = StatusKb("/proc/self/status", "VmHWM:") / 1024.0;
    std::printf("figure: log stream %d Bd %d s, bytes lost | %lld | of %llu | \n", baud, seconds,
                static_cast<long long>(writer.written.load())
                    - static_cast<long long>(window.Log().RxCount()),
                static_cast<unsigned long long>(writer.written.load()));
    std::printf("figure: log stream, longest event-loop stall | %.1f ms (%.1f ms running) | | \n",
                App().worst / 1e6, App().worstCpu / 1e6);
    if (peer != nullptr) {
        std::printf("CuteCom 0.51: the same stream at the same time, into its own pty\n");
        std::printf("  bytes in            %llu\n",
                    static_cast<unsigned long long>(peerWriter.written.load()));
        std::printf("  CPU                 %.2f s (%.1f %% of one core)\n", peerCpu,
                    100.0 * peerCpu / wall);
        std::printf("  RSS before / peak   %ld / %ld kB\n", peerRssBefore, peer->Kb("VmHWM:"));
        peerFigures.cpuSeconds = peerCpu;
        peerFigures.peakMb = peer->Kb("VmHWM:") / 1024.0;
    }
    window.SerialBar().OpenCloseButton()->click();

    // The one long step of the log: the append that reaches the line limit empties it.
    const std::string line(78, 'x');
    std::string block;
    for (int i = 0; i < 1000; ++i)
        block += line + "\r\n";
    block.resize(block.size() - 2);
    while (window.Log().Dialog()->document()->blockCount() < m845::kLogLineLimit - 1001) {
        window.Log().LogRxOther(block);
        window.Log().Flush();
    }
    QElapsedTimer clearClock;
    clearClock.start();
    for (int i = 0; i < 2; ++i) {
        window.Log().LogRxOther(block);
        window.Log().Flush();
    }
    QApplication::processEvents();
    std::printf("  full log emptied    %.1f ms (append, clear and repaint)\n",
                clearClock.nsecsElapsed() / 1e6);
    window.hide();
    return allCounted ? 0 : 2;
}

// An hour of the stream at the given baud rate, replayed 20 times faster (still well within
// what the window takes, so no backlog builds up): the line limit must keep memory flat however
// long a session runs.
int RunHour(int baud)
{
    constexpr int kSpeedup = 20;
    Pty pty;
    m845::TFrm_Main window;
    window.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&window));
    window.SerialBar().PortBox()->setEditText(QString::fromStdString(pty.path));
    window.SerialBar().OpenCloseButton()->click();
    if (!window.Link().IsPortOpen())
        return 1;
    const int seconds = 3600 / kSpeedup;
    const std::uint64_t total = static_cast<std::uint64_t>(baud) * kSpeedup / 10 * seconds;
    std::printf("m845tool log: one hour at %d baud (%.0f MB) replayed in %d s\n", baud, total / 1e6,
                seconds);
    Writer writer;
    writer.Start(pty.master, baud * kSpeedup, seconds);
    long firstRss = -1;
    long lastRss = -1;
    for (int tenth = 1; tenth <= 10; ++tenth) {
        const std::uint64_t mark = total / 10 * static_cast<std::uint64_t>(tenth) * 99 / 100;
        static_cast<void>(
            RunUntil([&] { return window.Log().RxCount() >= static_cast<std::uint32_t>(mark); },
                     (seconds + 60) * 1000));
        window.Log().Flush();
        lastRss = StatusKb("/proc/self/status", "VmRSS:");
        if (firstRss < 0)
            firstRss = lastRss;
        std::printf("  %3d %% of the hour: RSS %ld kB, log lines %d\n", tenth * 10, lastRss,
                    window.Log().Dialog()->document()->blockCount());
    }
    writer.Join();
    const double ratio = static_cast<double>(lastRss) / static_cast<double>(firstRss);
    std::printf("figure: memory after an hour's stream | %.1f MB | %.1f MB after 6 min | %.2f\n",
                lastRss / 1024.0, firstRss / 1024.0, ratio);
    window.SerialBar().OpenCloseButton()->click();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int seconds = 60;
    int baud = 460800;
    bool withCuteCom = true;
    bool hour = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else if (arg == "--baud" && i + 1 < argc)
            baud = std::atoi(argv[++i]);
        else if (arg == "--no-cutecom")
            withCuteCom = false;
        else if (arg == "--hour")
            hour = true;
    }
    TBenchApplication app(argc, argv);
    const std::string langDir
        = std::filesystem::temp_directory_path() / ("m845-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(langDir);
    m845::InitLanguage(langDir + "/" + std::string(m845::kLangFileName));
    if (hour) {
        const int rc = RunHour(baud);
        m845::ReleaseLanguage();
        std::filesystem::remove_all(langDir);
        return rc;
    }
    TStreamFigures own;
    TStreamFigures peer;
    std::unique_ptr<TCuteCom> cutecom;
    if (withCuteCom) {
        cutecom = std::make_unique<TCuteCom>();
        if (!cutecom->Launch(baud))
            cutecom.reset();
    }
    int rc = RunStream(baud, seconds, cutecom.get(), own, peer);
    if (withCuteCom && cutecom == nullptr && rc == 0)
        rc = 3;
    if (cutecom != nullptr) {
        std::printf("figure: log stream, CPU | %.2f s | CuteCom %.2f s | %.2f\n", own.cpuSeconds,
                    peer.cpuSeconds, own.cpuSeconds / peer.cpuSeconds);
        std::printf("figure: log stream, peak memory | %.1f MB | CuteCom %.1f MB | %.2f\n",
                    own.peakMb, peer.peakMb, own.peakMb / peer.peakMb);
    }
    m845::ReleaseLanguage();
    std::filesystem::remove_all(langDir);
    return rc;
}
