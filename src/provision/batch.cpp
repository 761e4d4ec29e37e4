#include "provision/batch.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lang/langlist.h"
#include "provision/provisionplan.h"
#include "provision/report.h"
#include "serial/portlist.h"

extern char **environ;

namespace m845 {

namespace {

// The exit codes from best to worst.
constexpr int kRank[] = {kProvisionDone,   kProvisionDiffers,  kProvisionBadInput,
                         kProvisionNoPort, kProvisionNoAnswer, kProvisionCutOff};

int RankOf(int code)
{
    const auto *found = std::find(std::begin(kRank), std::end(kRank), code);
    // A code of no run (a crash's) counts as the worst.
    return found == std::end(kRank) ? static_cast<int>(std::size(kRank))
                                    : static_cast<int>(found - std::begin(kRank));
}

bool LooksLikePattern(const std::string &port)
{
    return port.find_first_of("*?[") != std::string::npos;
}

} // namespace

std::string PortShortName(const std::string &port)
{
    std::string name = port;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string CheckPorts(const std::vector<std::string> &ports)
{
    namespace fs = std::filesystem;
    std::set<std::string> seen;
    for (const std::string &port : ports) {
        const std::string path = ResolvePortName(port);
        std::error_code ec;
        if (LooksLikePattern(port) && !fs::exists(path, ec))
            return LangFormat("info_ProvNoMatch", {port});
        // Two names of one device (a by-id link and its tty) are one port.
        const fs::path real = fs::canonical(path, ec);
        const std::string key = ec ? path : real.string();
        if (!seen.insert(key).second)
            return LangFormat("info_ProvPortTwice", {port});
    }
    return {};
}

int WorstExit(const std::vector<int> &codes)
{
    int worst = kProvisionDone;
    for (const int code : codes) {
        if (RankOf(code) > RankOf(worst))
            worst = code;
    }
    return worst;
}

std::vector<TChildEnd> RunChildren(const std::string &program,
                                   const std::vector<std::vector<std::string>> &args)
{
    // The terminal's Ctrl+C reaches every child; the parent stays to count their ends.
    struct sigaction ignore
    {
    };
    struct sigaction previous
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGINT, &ignore, &previous);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<TChildEnd> ends(args.size());
    std::vector<pid_t> pids(args.size(), -1);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::vector<std::string> words = args[i];
        words.insert(words.begin(), program);
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const int error
            = ::posix_spawn(&pids[i], program.c_str(), nullptr, &attributes, argv.data(), environ);
        if (error != 0) {
            pids[i] = -1;
            ends[i].startError = std::strerror(error);
        }
    }
    posix_spawnattr_destroy(&attributes);

    for (std::size_t i = 0; i < pids.size(); ++i) {
        if (pids[i] < 0)
            continue;
        int status = 0;
        pid_t waited = -1;
        while ((waited = ::waitpid(pids[i], &status, 0)) < 0 && errno == EINTR) {
        }
        if (waited < 0)
            ends[i].startError = std::strerror(errno);
        else if (WIFEXITED(status))
            ends[i].exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            ends[i].signal = WTERMSIG(status);
    }
    ::sigaction(SIGINT, &previous, nullptr);
    return ends;
}

int ExitOfChild(const TChildEnd &end)
{
    if (end.exitCode >= 0)
        return end.exitCode;
    // A run that never started touched nothing; one ended from outside was cut off.
    return end.signal == 0 ? kProvisionNoPort : kProvisionCutOff;
}

std::string WhyChildEnded(const TChildEnd &end)
{
    if (end.signal != 0) {
        const char *name = ::strsignal(end.signal);
        return LangFormat("info_ProvChildSignal",
                          {std::to_string(end.signal), name != nullptr ? name : "?"});
    }
    return LangFormat("info_ProvChildStart", {end.startError});
}

int RunPortsInParallel(const std::string &program, const std::vector<std::string> &ports,
                       const std::vector<std::vector<std::string>> &args, const std::string &report,
                       bool quiet, std::ostream &progress)
{
    const auto start = std::chrono::steady_clock::now();
    const std::vector<TChildEnd> ends = RunChildren(program, args);
    std::vector<int> codes;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const TChildEnd &end = ends[i];
        codes.push_back(ExitOfChild(end));
        if (end.exitCode >= 0)
            continue;
        // A child that exits has written its row; one that did not exit has not.
        const std::string why = WhyChildEnded(end);
        progress << PortShortName(ports[i]) << ": " << why << '\n' << std::flush;
        if (report.empty())
            continue;
        TReportRow row;
        row.time = ReportTime(std::chrono::system_clock::now());
        row.port = ports[i];
        row.details = why + " (exit " + std::to_string(codes.back()) + ")";
        row.seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (const TReportOutcome appended = AppendReportRow(report, row); !appended.ok)
            progress << LangFormat("info_ProvReportFail", {report, appended.reason}) << '\n'
                     << std::flush;
    }
    if (!quiet)
        PrintBatchSummary(progress, ports, codes);
    return WorstExit(codes);
}

void PrintBatchSummary(std::ostream &out, const std::vector<std::string> &ports,
                       const std::vector<int> &codes)
{
    int passed = 0;
    for (std::size_t i = 0; i < ports.size() && i < codes.size(); ++i) {
        const int code = codes[i];
        passed += code == kProvisionDone ? 1 : 0;
        out << PortShortName(ports[i]) << ": "
            << (code == kProvisionDone ? std::string("PASS")
                                       : "FAIL (exit " + std::to_string(code) + ")")
            << '\n';
    }
    out << LangFormat(
        "info_StationSummary",
        {std::to_string(passed), std::to_string(static_cast<int>(codes.size()) - passed)})
        << '\n'
        << std::flush;
}

} // namespace m845
