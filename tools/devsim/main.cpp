#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <pthread.h>

#include "devsim/simcli.h"

int main(int argc, char **argv)
{
    using namespace m845::devsim;
    const CliResult cli = ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (cli.help) {
        std::fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    if (!cli.error.empty()) {
        std::fprintf(stderr, "m845sim: %s\n%s", cli.error.c_str(), SimUsage().c_str());
        return 2;
    }
    // Blocked before the server's thread exists, so only sigtimedwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimServer server(cli.options);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "m845sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);

    const timespec poll{0, 100'000'000};
    while (!server.Dropped()) {
        if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) {
            break;
        }
    }
    if (server.Dropped()) {
        std::fprintf(stderr, "m845sim: line dropped after %lld bytes\n", server.BytesReceived());
    }
    server.Stop();
    return 0;
}
