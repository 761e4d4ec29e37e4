// The communication log under a sustained text stream: a device streaming at 460 800 baud
// without pause, through a pty, into the whole window (port component, link, log), and the
// same stream into CuteCom for comparison. Run under a display: xvfb-run -a bench_log.
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
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
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
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QtCore/qtestsupport_core.h>
#include <QtWidgets/qtestsupport_widgets.h>

#include "stall_meter.h"
#include "lang/langlist.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/window/mainwindow.h"

namespace {

using m845::bench::StallMeter;

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

// What the stream run measured, for the comparison lines printed at the end.
struct TStreamFigures
{
    double cpuSeconds = -1;
    double peakMb = -1;
};

int RunOwn(int baud, int seconds, TStreamFigures &figures)
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
    const long rssBefore = StatusKb("/proc/self/status", "VmRSS:");
    const double cpuBefore = ProcessCpuSeconds();
    StallMeter stalls;
    stalls.Start();
    Writer writer;
    const auto start = Clock::now();
    writer.Start(pty.master, baud, seconds);
    static_cast<void>(QTest::qWaitFor([&] { return writer.done.load(); }, (seconds + 30) * 1000));
    // Let the last block (cut by line silence) arrive.
    static_cast<void>(
        QTest::qWaitFor([&] { return window.Log().RxCount() == writer.written.load(); }, 5000));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    writer.Join();
    stalls.timer.stop();
    const double cpu = ProcessCpuSeconds() - cpuBefore - writer.cpuSeconds;
    std::printf("m845tool log: %d s at %d baud\n", seconds, baud);
    std::printf("  bytes in            %llu (%.0f B/s)\n",
                static_cast<unsigned long long>(writer.written.load()),
                writer.written.load() / wall);
    std::printf("  bytes counted       %u\n", window.Log().RxCount());
    std::printf("  longest loop stall  %.1f ms (gaps over 16 ms: %d, over 50 ms: %d)\n",
                stalls.worst / 1e6, stalls.over16, stalls.over50);
    std::printf("  longest log flush   %.1f ms\n", window.Log().LongestFlushNs() / 1e6);
    std::printf("  load average        %s", LoadAverage().c_str());
    std::printf("  CPU                 %.2f s (%.1f %% of one core)\n", cpu, 100.0 * cpu / wall);
    std::printf("  RSS before / peak   %ld / %ld kB\n", rssBefore,
                StatusKb("/proc/self/status", "VmHWM:"));
    const bool allCounted = window.Log().RxCount() == writer.written.load();
    figures.cpuSeconds = cpu;
    figures.peakMb = StatusKb("/proc/self/status", "VmHWM:") / 1024.0;
    std::printf("figure: log stream %d Bd %d s, bytes lost | %lld | of %llu | \n", baud, seconds,
                static_cast<long long>(writer.written.load())
                    - static_cast<long long>(window.Log().RxCount()),
                static_cast<unsigned long long>(writer.written.load()));
    std::printf("figure: log stream, longest event-loop stall | %.1f ms | | \n",
                stalls.worst / 1e6);
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
        static_cast<void>(QTest::qWaitFor(
            [&] { return window.Log().RxCount() >= static_cast<std::uint32_t>(mark); },
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

int RunCuteCom(int baud, int seconds, TStreamFigures &figures)
{
    Pty pty;
    const std::string home = std::filesystem::temp_directory_path()
                             / ("m845-bench-cutecom-" + std::to_string(getpid()));
    std::filesystem::create_directories(home + "/.config/CuteCom");
    std::ofstream(home + "/.config/CuteCom/CuteCom5.conf")
        << "[sessions]\n1\\BaudRate=" << baud << "\n1\\DataBits=8\n1\\Device=" << pty.path
        << "\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n1\\autoReconnect=false\n"
           "1\\name=Default\n1\\showCtrlCharacters=false\n1\\showTimestamp=false\nsize=1\n";
    QProcess cutecom;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QString::fromStdString(home));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home + "/.config"));
    cutecom.setProcessEnvironment(env);
    cutecom.start(QStringLiteral("cutecom"), {});
    if (!cutecom.waitForStarted(5000)) {
        std::printf("CuteCom: not started\n");
        return 1;
    }
    const qint64 pid = cutecom.processId();
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
    if (!opened) {
        std::printf("CuteCom: could not open %s (is xdotool installed?)\n", pty.path.c_str());
        cutecom.kill();
        cutecom.waitForFinished(3000);
        return 1;
    }
    QTest::qWait(500);
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    const long rssBefore = StatusKb(status, "VmRSS:");
    const double cpuBefore = ChildCpuSeconds(pid);
    Writer writer;
    const auto start = Clock::now();
    writer.Start(pty.master, baud, seconds);
    static_cast<void>(QTest::qWaitFor([&] { return writer.done.load(); }, (seconds + 30) * 1000));
    writer.Join();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = ChildCpuSeconds(pid) - cpuBefore;
    std::printf("CuteCom 0.51: %d s at %d baud\n", seconds, baud);
    std::printf("  bytes in            %llu (%.0f B/s)\n",
                static_cast<unsigned long long>(writer.written.load()),
                writer.written.load() / wall);
    std::printf("  CPU                 %.2f s (%.1f %% of one core)\n", cpu, 100.0 * cpu / wall);
    std::printf("  RSS before / peak   %ld / %ld kB\n", rssBefore, StatusKb(status, "VmHWM:"));
    figures.cpuSeconds = cpu;
    figures.peakMb = StatusKb(status, "VmHWM:") / 1024.0;
    cutecom.terminate();
    if (!cutecom.waitForFinished(3000)) {
        cutecom.kill();
        cutecom.waitForFinished(3000);
    }
    std::filesystem::remove_all(home);
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
    QApplication app(argc, argv);
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
    int rc = RunOwn(baud, seconds, own);
    if (withCuteCom) {
        rc = RunCuteCom(baud, seconds, peer) != 0 && rc == 0 ? 3 : rc;
        std::printf("figure: log stream, CPU | %.2f s | CuteCom %.2f s | %.2f\n", own.cpuSeconds,
                    peer.cpuSeconds, own.cpuSeconds / peer.cpuSeconds);
        std::printf("figure: log stream, peak memory | %.1f MB | CuteCom %.1f MB | %.2f\n",
                    own.peakMb, peer.peakMb, own.peakMb / peer.peakMb);
    }
    m845::ReleaseLanguage();
    std::filesystem::remove_all(langDir);
    return rc;
}
