#include "ui/provision/stationsignals.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace m845 {

namespace {

// The handler may only write to a pipe; the window thread reads it.
int g_wakeRead = -1;
int g_wakeWrite = -1;
volatile std::sig_atomic_t g_signalled = 0;

void OnSignal(int signal)
{
    if (g_signalled != 0) {
        // The second one: no more waiting for the device in hand.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_signalled = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_wakeWrite, &byte, 1);
}

} // namespace

TStationSignals::TStationSignals(std::function<void()> onStop)
    : m_onStop(std::move(onStop))
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_wakeRead = fds[0];
    g_wakeWrite = fds[1];
    g_signalled = 0;
    m_notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char drain[16];
        while (::read(g_wakeRead, drain, sizeof drain) > 0) {
        }
        if (m_onStop) {
            const auto onStop = std::move(m_onStop);
            m_onStop = nullptr;
            onStop();
        }
    });
    struct sigaction action
    {
    };
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

TStationSignals::~TStationSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    for (int *fd : {&g_wakeRead, &g_wakeWrite}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

} // namespace m845
