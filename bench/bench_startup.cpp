// Start-up to the first shown window, and memory once idle, for m845tool and for CuteCom,
// started the same way on the same display, taking turns. Run under a display without a window
// manager: xvfb-run -a bench_startup [--runs N] [--program PATH] [--peer PATH]
// (--peer: another build in CuteCom's place, to compare two builds of m845tool)
//
// A top-level window is mapped straight onto the root window when no window manager runs,
// so the moment it is shown is the MapNotify seen on the root.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Sample
{
    double startupMs = -1;
    double cpuMs = -1; // CPU time of all its threads when the window was shown
    long idleRssKb = -1;
};

// The scheduler's account of a process's CPU time, all threads, in milliseconds: finer than
// the clock ticks of /proc/PID/stat, which count 10 ms at a time.
double CpuMs(pid_t pid)
{
    double total = 0;
    std::error_code ec;
    for (const auto &task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream sched(task.path() / "sched");
        std::string line;
        while (std::getline(sched, line)) {
            if (line.rfind("se.sum_exec_runtime", 0) == 0) {
                total += std::strtod(line.c_str() + line.find(':') + 1, nullptr);
                break;
            }
        }
    }
    return total;
}

long RssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Starts argv with its own scratch home and waits for its first top-level window; with idle, also
// for its memory once it has been idle for 3 s.
Sample RunOnce(Display *display, const std::vector<std::string> &argv, const std::string &home,
               bool idle)
{
    Sample sample;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("M845_DATA_DIR", (home + "/m845").c_str(), 1);
        setenv("LANG", "en_US.UTF-8", 1);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        freopen("/dev/null", "w", stderr);
        execvp(args[0], args.data());
        _exit(127);
    }
    const int fd = ConnectionNumber(display);
    const auto deadline = start + std::chrono::seconds(20);
    while (sample.startupMs < 0 && Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root
                && !event.xmap.override_redirect) {
                sample.startupMs
                    = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                sample.cpuMs = CpuMs(pid);
                break;
            }
        }
        pollfd p{fd, POLLIN, 0};
        if (sample.startupMs < 0)
            poll(&p, 1, 50);
    }
    if (idle) {
        // The window is up and nothing happens.
        usleep(3'000'000);
        sample.idleRssKb = RssKb(pid);
    } else {
        usleep(200'000);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XSelectInput(display, root, NoEventMask);
    return sample;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

struct Result
{
    double startupMs;
    double cpuMs;
    double idleMb;
};

// The programs take turns, run after run, so that both meet the same load on a shared machine.
// Idle memory barely varies and takes 3 s a run: the first few runs measure it.
std::vector<Result> Measure(Display *display, const std::vector<std::vector<std::string>> &programs,
                            int runs)
{
    constexpr int kIdleRuns = 3;
    std::vector<std::vector<double>> startup(programs.size()), cpu(programs.size()),
        rss(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const std::string home = std::filesystem::temp_directory_path()
                                     / ("bench-startup-" + std::to_string(getpid()) + "-"
                                        + std::to_string(i) + "-" + std::to_string(p));
            std::filesystem::create_directories(home + "/m845");
            const Sample s = RunOnce(display, programs[p], home, i < kIdleRuns);
            std::filesystem::remove_all(home);
            if (s.startupMs >= 0) {
                startup[p].push_back(s.startupMs);
                cpu[p].push_back(s.cpuMs);
            }
            if (s.idleRssKb >= 0)
                rss[p].push_back(s.idleRssKb / 1024.0);
        }
    }
    std::vector<Result> results;
    for (std::size_t p = 0; p < programs.size(); ++p)
        results.push_back({Median(startup[p]), Median(cpu[p]), Median(rss[p])});
    return results;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 15;
    std::string peerProgram = "cutecom";
    std::string program
        = std::filesystem::path(argv[0]).parent_path().parent_path() / "src/app/m845tool";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--program") == 0 && i + 1 < argc)
            program = argv[++i];
        else if (std::strcmp(argv[i], "--peer") == 0 && i + 1 < argc)
            peerProgram = argv[++i];
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_startup needs a display (run it under xvfb-run)\n");
        return 1;
    }
    // One run of each first, unmeasured, so both find their libraries in the page cache.
    Measure(display, {{program}, {peerProgram}}, 1);
    const std::vector<Result> both = Measure(display, {{program}, {peerProgram}}, runs);
    const Result &ours = both[0];
    const Result &peer = both[1];
    const std::string peerName = peerProgram == "cutecom" ? "CuteCom" : peerProgram;
    std::printf("start-up to first window (median of %d): m845tool %.1f ms, %s %.1f ms, "
                "ratio %.2f\n",
                runs, ours.startupMs, peerName.c_str(), peer.startupMs,
                ours.startupMs / peer.startupMs);
    std::printf("CPU time by then (all threads): m845tool %.1f ms, %s %.1f ms, ratio %.2f\n",
                ours.cpuMs, peerName.c_str(), peer.cpuMs, ours.cpuMs / peer.cpuMs);
    std::printf("idle memory (RSS, 3 s after start, median of 3): m845tool %.1f MB, %s %.1f MB, "
                "ratio %.2f\n",
                ours.idleMb, peerName.c_str(), peer.idleMb, ours.idleMb / peer.idleMb);
    std::printf("figure: start-up to the first shown window | %.0f ms | %s %.0f ms | %.2f\n",
                ours.startupMs, peerName.c_str(), peer.startupMs, ours.startupMs / peer.startupMs);
    std::printf("figure: idle memory (RSS) | %.1f MB | %s %.1f MB | %.2f\n", ours.idleMb,
                peerName.c_str(), peer.idleMb, ours.idleMb / peer.idleMb);
    XCloseDisplay(display);
    return 0;
}
