#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include "devsim/simcli.h"
#include "devsim/simcontrol.h"

namespace {

// Control lines from a file descriptor, read as they come; EOF ends the reading, not the device.
class ControlReader
{
public:
    explicit ControlReader(int fd)
        : m_fd(fd)
    {}
    [[nodiscard]] bool Active() const { return m_fd >= 0; }
    // Waits up to 100 ms for input.
    void Read(m845::devsim::SimServer &server)
    {
        if (m_fd < 0) {
            return;
        }
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            return;
        }
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            m_fd = -1;
            return;
        }
        m_pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
            std::string error;
            if (!m845::devsim::ApplyControlLine(server, m_pending.substr(0, end), error)) {
                std::fprintf(stderr, "m845sim: %s\n", error.c_str());
            }
            m_pending.erase(0, end + 1);
        }
    }

private:
    int m_fd = -1;
    std::string m_pending;
};

} // namespace

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
    ControlReader control(cli.control ? STDIN_FILENO : -1);
    while (!server.Dropped()) {
        control.Read(server);
        const timespec nowait{0, 0};
        if (sigtimedwait(&stopSignals, nullptr, control.Active() ? &nowait : &poll) > 0) {
            break;
        }
    }
    if (server.Dropped()) {
        std::fprintf(stderr, "m845sim: line dropped after %lld bytes\n", server.BytesReceived());
    }
    server.Stop();
    return 0;
}
