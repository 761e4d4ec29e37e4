// The provisioning run as a production line uses it: the program's --write with its read-back
// against one simulated device, then against three at once, with the default command pause;
// wall time per device against the floor that the pauses and the block cutting allow.
//
//   bench_station [--runs N]

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "devsim/simserver.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The pause before each queued line, and the read interval that ends a block at 115200 baud.
constexpr double kPauseMs = 150.0;
constexpr double kIntervalMs = 60.0;

// Runs the program with args, output thrown away; its exit status.
int RunTool(std::vector<std::string> args)
{
    args.insert(args.begin(), {M845TOOL_PATH, "--quiet"});
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, M845TOOL_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Write(const std::vector<std::string> &ports, const std::string &file)
{
    std::vector<std::string> args{"--write", file, "--port"};
    args.insert(args.end(), ports.begin(), ports.end());
    return RunTool(args);
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    const fs::path dir
        = fs::temp_directory_path() / ("m845-bench-station-" + std::to_string(::getpid()));
    fs::create_directories(dir / "data");
    setenv("M845_DATA_DIR", (dir / "data").c_str(), 1);

    std::vector<std::unique_ptr<m845::devsim::SimServer>> sims;
    for (int i = 0; i < 3; ++i) {
        sims.push_back(std::make_unique<m845::devsim::SimServer>(m845::devsim::SimOptions{}));
        std::string error;
        if (!sims.back()->Start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
            return 1;
        }
    }
    const std::string file = (dir / "customer.ini").string();
    {
        // The customer's file is a read of the first device; a first write into each leaves it
        // in command mode, so that the timed runs measure the work, not the 5 s entry.
        if (RunTool({"--port", sims[0]->SlavePath(), "--read", file}) != 0) {
            std::fprintf(stderr, "the read failed\n");
            return 1;
        }
        for (const auto &sim : sims) {
            if (Write({sim->SlavePath()}, file) != 0) {
                std::fprintf(stderr, "the warm-up write failed\n");
                return 1;
            }
        }
    }

    int rc = 0;
    double single = 1e300;
    std::size_t lines = 0;
    for (int run = 0; run < runs; ++run) {
        const std::size_t before = sims[0]->Trace().size();
        const auto start = Clock::now();
        rc |= Write({sims[0]->SlavePath()}, file);
        single = std::min(single, Milliseconds(Clock::now() - start));
        lines = sims[0]->Trace().size() - before;
    }
    double parallel = 1e300;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        rc |= Write({sims[0]->SlavePath(), sims[1]->SlavePath(), sims[2]->SlavePath()}, file);
        parallel = std::min(parallel, Milliseconds(Clock::now() - start));
    }
    // Every line (the writes and the read-back's queries) waits its pause and its block cut.
    const double floor = static_cast<double>(lines) * (kPauseMs + kIntervalMs);
    std::printf("command pause %.0f ms, read interval %.0f ms; %zu lines a device (best of %d)\n",
                kPauseMs, kIntervalMs, lines, runs);
    std::printf("one device   : %8.1f ms (floor %8.1f ms, +%5.1f%%)\n", single, floor,
                100.0 * (single - floor) / floor);
    std::printf("three at once: %8.1f ms (floor %8.1f ms, +%5.1f%%), %.1f ms a device\n", parallel,
                floor, 100.0 * (parallel - floor) / floor, parallel / 3.0);
    std::printf("figure: --write with read-back, one device | %.0f ms | floor %.0f ms | %.2f\n",
                single, floor, single / floor);
    std::printf("figure: --write with read-back, three devices at once | %.0f ms | floor %.0f ms "
                "| %.2f\n",
                parallel, floor, parallel / floor);
    std::printf("figure: --write, time per device of three at once | %.0f ms | one device "
                "%.0f ms | %.2f\n",
                parallel / 3.0, single, parallel / 3.0 / single);
    if (rc != 0)
        std::printf("a run did not pass\n");
    sims.clear();
    fs::remove_all(dir);
    return rc == 0 ? 0 : 1;
}
