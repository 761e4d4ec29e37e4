// Firmware upload by XModem-CRC against the simulated boot loader, paced at the line rate both
// ways, side by side with lrzsz's sx sending the same image to the same kind of receiver: sx, the
// tool with its fast path, the tool without it, against the line-time floor, and where the
// tool's time per block goes. Every sender is timed alike: from the boot loader's start request
// to the moment the sender has taken the answer to its end byte. Runs offscreen or under a
// display.
//
//   bench_xmodem [--size KiB] [--baud N] [--skip-slow]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QTimer>
#include <QToolButton>

#include "devsim/devsim_testutil.h"
#include "devsim/simserver.h"
#include "firmware/firmwareupgrade.h"
#include "lang/langlist.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using m845::devsim::test::Padded;

constexpr double kBlockBytes = 133.0;
// What crosses the line besides the blocks, one byte after another: the start request, one
// answer per block, the end byte and the boot loader's four-byte final reply.
constexpr double kAnswerBytes = 1.0;
constexpr double kOnceBytes = 1.0 + 1.0 + 4.0;

double MsSince(const std::optional<m845::devsim::TimePoint> &start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - *start).count();
}

// The event loop turns as fast as events come (a QTest wait sleeps 10 ms a turn, which would
// pace the blocks by itself).
bool RunUntil(const std::function<bool()> &done, int timeoutMs)
{
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(timeoutMs);
    while (!done()) {
        if (!guard.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

m845::devsim::SimOptions DeviceOptions(int baud)
{
    m845::devsim::SimOptions options;
    options.model.boot = true;
    options.baudPace = true;
    options.baud = baud;
    return options;
}

// From the start request to the final reply handled; nullopt on failure.
std::optional<double> RunTool(const std::string &path, const std::string &image, int baud,
                              bool fastPath, int timeoutMs)
{
    m845::devsim::SimServer sim(DeviceOptions(baud));
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return std::nullopt;
    }
    m845::TDeviceSession *session = nullptr;
    m845::TFrm_Main window([&](m845::TFrm_Main &w) {
        auto part = std::make_unique<m845::TDeviceSession>(w);
        session = part.get();
        w.AdoptPart(std::move(part));
    });
    window.show();
    m845::TFirmwareUpgrade &upgrade = session->Firmware().Upgrade();
    upgrade.SetFastPath(fastPath);
    // The tool reads its clock when the final reply has come: that is the end of its transfer.
    Clock::time_point lastClockRead;
    upgrade.SetClock([&lastClockRead] {
        lastClockRead = Clock::now();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   lastClockRead.time_since_epoch())
            .count();
    });
    session->Firmware().RunDialog = [&path](QFileDialog &) {
        return std::optional<QString>(QString::fromStdString(path));
    };
    window.findChild<QComboBox *>(QStringLiteral("cbbOpenBaud"))
        ->setCurrentText(QString::number(baud));
    window.findChild<QComboBox *>(QStringLiteral("cbbOpenCom"))
        ->setEditText(QString::fromStdString(sim.SlavePath()));
    window.findChild<QToolButton *>(QStringLiteral("btnOpenClose"))->click();
    if (!window.Link().IsPortOpen()) {
        std::fprintf(stderr, "could not open %s\n", sim.SlavePath().c_str());
        return std::nullopt;
    }
    window.findChild<QToolButton *>(QStringLiteral("btnFwUp"))->click();
    const bool done = RunUntil([&] { return upgrade.LastTransferMilliseconds() >= 0; }, timeoutMs);
    window.Link().CloseLink();
    if (!done || sim.Firmware() != Padded(image) || !sim.LastStartRequest()) {
        std::fprintf(stderr, "the tool's transfer did not complete\n");
        return std::nullopt;
    }
    return MsSince(sim.LastStartRequest(), lastClockRead);
}

// Reads the line until `text` has come; false after timeoutMs.
bool ReadUntil(int fd, const std::string &text, int timeoutMs)
{
    std::string seen;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen.find(text) == std::string::npos) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// The simulator's line in raw mode, its boot menu answered up to the transfer; -1 on failure.
int OpenBootLine(const m845::devsim::SimServer &sim)
{
    const int line = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(line, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(line, TCSANOW, &tio);
    if (line < 0 || !ReadUntil(line, std::string(m845::devsim::kBootMenu), 5000)
        || ::write(line, "F", 1) != 1 || !ReadUntil(line, "'Y' or 'N'\r\n>", 5000)
        || ::write(line, "Y", 1) != 1 || !ReadUntil(line, "Y\r\n", 5000)) {
        std::fprintf(stderr, "the boot menu did not answer\n");
        if (line >= 0)
            ::close(line);
        return -1;
    }
    return line;
}

// The least a sender can take on this line: one thread, blocking reads, every block built
// before the start request. What it spends beyond the line time is the pseudo-terminal's and
// the simulator's, which no sender can save.
std::optional<double> RunBare(const std::string &image, int baud)
{
    m845::devsim::SimServer sim(DeviceOptions(baud));
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return std::nullopt;
    }
    const std::string padded = Padded(image);
    std::string blocks;
    for (const std::string &block : m845::devsim::test::Blocks(image))
        blocks += block;
    const int line = OpenBootLine(sim);
    if (line < 0)
        return std::nullopt;
    auto readByte = [line](char &c) {
        return ::read(line, &c, 1) == 1;
    };
    char c = 0;
    bool ok = true;
    while (ok && c != 'C')
        ok = readByte(c);
    for (std::size_t at = 0; ok && at < blocks.size(); at += 133) {
        ok = ::write(line, blocks.data() + at, 133) == 133 && readByte(c) && c == '\x06';
    }
    std::string reply;
    ok = ok && ::write(line, "\x04", 1) == 1;
    while (ok && reply.size() < 4)
        ok = readByte(c) && (reply.push_back(c), true);
    const auto ended = Clock::now();
    ::close(line);
    if (!ok || !sim.WaitForFirmware(1, std::chrono::seconds(2)) || sim.Firmware() != padded
        || !sim.LastStartRequest()) {
        std::fprintf(stderr, "the bare sender's transfer did not complete\n");
        return std::nullopt;
    }
    return MsSince(sim.LastStartRequest(), ended);
}

// sx behind pipes (it must not own the line), the boot menu answered first; from the start
// request to sx's exit after the answer to its end byte.
std::optional<double> RunSx(const std::string &path, const std::string &image, int baud,
                            int timeoutMs)
{
    m845::devsim::SimServer sim(DeviceOptions(baud));
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return std::nullopt;
    }
    const int line = OpenBootLine(sim);
    if (line < 0)
        return std::nullopt;
    int toSx[2];
    int fromSx[2];
    if (::pipe2(toSx, O_CLOEXEC) != 0 || ::pipe2(fromSx, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toSx[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromSx[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char *argv[] = {"sx", "-q", path.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned
        = ::posix_spawn(&pid, "/usr/bin/sx", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toSx[0]);
    ::close(fromSx[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start /usr/bin/sx (install lrzsz)\n");
        return std::nullopt;
    }
    bool started = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        pollfd fds[2] = {{line, POLLIN, 0}, {fromSx[0], POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0)
            break;
        char buffer[4096];
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(line, buffer, sizeof buffer);
            if (n > 0) {
                if (std::memchr(buffer, 'C', static_cast<std::size_t>(n)) != nullptr)
                    started = true;
                (void)::write(toSx[1], buffer, static_cast<std::size_t>(n));
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t n = ::read(fromSx[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            (void)::write(line, buffer, static_cast<std::size_t>(n));
        }
    }
    const auto ended = Clock::now();
    ::kill(pid, SIGKILL); // a no-op once it has exited
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(toSx[1]);
    ::close(fromSx[0]);
    ::close(line);
    if (!started || !sim.WaitForFirmware(1, std::chrono::seconds(2))
        || sim.Firmware() != Padded(image) || !sim.LastStartRequest()) {
        std::fprintf(stderr, "sx's transfer did not complete\n");
        return std::nullopt;
    }
    return MsSince(sim.LastStartRequest(), ended);
}

} // namespace

int main(int argc, char **argv)
{
    int sizeKiB = 256;
    int baud = 115200;
    bool skipSlow = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            sizeKiB = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--baud") == 0 && i + 1 < argc)
            baud = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--skip-slow") == 0)
            skipSlow = true;
    }
    if (std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);

    const fs::path scratch
        = fs::temp_directory_path() / ("m845-bench-xm-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    m845::InitLanguage((scratch / "M845Lang.txt").string());
    m845::LangList()->IsChinese = false;

    std::string image(static_cast<std::size_t>(sizeKiB) * 1024, '\0');
    std::mt19937 random(845);
    for (char &c : image)
        c = static_cast<char>(random());
    const std::string path = (scratch / "image.bin").string();
    std::ofstream(path, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));

    const double blocks = static_cast<double>(Padded(image).size() / 128);
    const double byteMs = 10.0 * 1000.0 / baud;
    const double lineBlockMs = (kBlockBytes + kAnswerBytes) * byteMs;
    const double onceMs = kOnceBytes * byteMs;
    const double floorMs = blocks * lineBlockMs + onceMs;
    const int normalMs
        = static_cast<int>(m845::ReadIntervalForBaud(static_cast<std::uint32_t>(baud)));
    const int timeoutMs = static_cast<int>(floorMs * 10) + 60000;

    std::printf("image %d KiB, %.0f blocks, %d baud paced both ways (10 bits a byte)\n", sizeKiB,
                blocks, baud);
    std::printf("line-time floor (start request, blocks of 133 bytes and their answers, end byte "
                "and final reply, one after another, 10 bits a byte): %.2f s\n",
                floorMs / 1000);
    const std::optional<double> bare = RunBare(image, baud);
    const std::optional<double> sx = RunSx(path, image, baud, timeoutMs);
    const std::optional<double> fast = RunTool(path, image, baud, true, timeoutMs);
    std::optional<double> slow;
    if (!skipSlow)
        slow = RunTool(path, image, baud, false, timeoutMs * 8);

    auto row = [&](const char *name, const std::optional<double> &ms) {
        if (!ms) {
            std::printf("%-26s: failed\n", name);
            return;
        }
        std::printf("%-26s: %9.2f s  floor +%6.1f %%", name, *ms / 1000,
                    100.0 * (*ms - floorMs) / floorMs);
        if (sx)
            std::printf("  ratio to sx %5.3f", *ms / *sx);
        std::printf("\n");
    };
    row("bare sender", bare);
    row("lrzsz sx", sx);
    row("m845tool, fast path", fast);
    if (!skipSlow)
        row("m845tool, no fast path", slow);
    if (sx && fast) {
        std::printf("goal: fast path at most 1.00 x sx: %s\n", *fast <= *sx ? "met" : "MISSED");
        std::printf("figure: XModem %d KiB at paced %d Bd | %.2f s | lrzsz sx %.2f s | %.2f\n",
                    sizeKiB, baud, *fast / 1000, *sx / 1000, *fast / *sx);
    }
    if (fast) {
        std::printf("goal: fast path within 1 %% of the line-time floor: %s\n",
                    *fast <= floorMs * 1.01 ? "met" : "MISSED");
        std::printf("figure: XModem, against the line-time floor | %.2f s | floor %.2f s | %.3f\n",
                    *fast / 1000, floorMs / 1000, *fast / floorMs);
    }
    if (fast && bare)
        std::printf("figure: XModem, against the bare sender on the same line | %.2f s | bare "
                    "sender %.2f s | %.3f\n",
                    *fast / 1000, *bare / 1000, *fast / *bare);
    if (slow)
        std::printf("figure: XModem without the fast path | %.2f s | floor %.2f s | %.2f\n",
                    *slow / 1000, floorMs / 1000, *slow / floorMs);

    // Per block: the block and its answer on the line, then the silence that ends the answer's
    // receive block; the rest is the sender's work and its hand-overs: for the tool with its
    // fast path, the receive thread's write of the block it was given ready; without it, the
    // hand-over to the window thread and its work; for sx, the relay, the pipes and sx. Per
    // transfer: the bytes sent once and, without the fast path, the silence after the start
    // request and after the final reply and the tick the first block waits for.
    const double slowOnceMs = onceMs + 2.0 * normalMs + m845::kXModemTxInterval / 2.0;
    auto split = [&](const char *name, const std::optional<double> &ms, double once,
                     double silence) {
        if (!ms)
            return;
        const double perBlock = (*ms - once) / blocks;
        std::printf("%-26s: %7.3f ms a block = line %6.3f + silence %6.3f + hand-over and work "
                    "%6.3f\n",
                    name, perBlock, lineBlockMs, silence, perBlock - lineBlockMs - silence);
    };
    std::printf("where the time goes (without the fast path the tool also spends %.0f ms a "
                "transfer: the start request and the final reply each end with the %d ms "
                "silence, the first block waits for a tick):\n",
                slowOnceMs - onceMs, normalMs);
    split("bare sender", bare, onceMs, 0.0);
    split("lrzsz sx", sx, onceMs, 0.0);
    split("m845tool, fast path", fast, onceMs, 0.0);
    // Without the fast path the next block also waits for the next 10 ms tick, 5 ms on average.
    split("m845tool, no fast path", slow, slowOnceMs, normalMs + m845::kXModemTxInterval / 2.0);

    m845::ReleaseLanguage();
    fs::remove_all(scratch);
    return sx && fast ? 0 : 1;
}
