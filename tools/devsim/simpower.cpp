// Power by hand: a bench where devices are switched on and off, or swapped, while the line
// stays.

#include "devsim/simserver.h"

#include <unistd.h>

namespace m845::devsim {

void DeviceModel::PowerOff()
{
    m_mode = DeviceMode::PoweredOff;
    m_lastRx.reset();
    m_entered = false;
    m_frame.clear();
    m_line.clear();
    m_swallowLf = false;
    m_lineOverflow = false;
    m_xmodem = XmodemReceiver(m_options.nakEvery);
}

void SimServer::PowerOn()
{
    RequestPower(true);
}

void SimServer::PowerOff()
{
    RequestPower(false);
}

void SimServer::RequestPower(bool on)
{
    m_powerByHand = true;
    {
        std::lock_guard lock(m_mutex);
        m_powerRequests.push_back(on);
    }
    const char byte = 0;
    [[maybe_unused]] const auto ignored = ::write(m_wakeWrite, &byte, 1);
}

void SimServer::ApplyPowerRequests(bool &powered, TimePoint now)
{
    std::lock_guard lock(m_mutex);
    while (!m_powerRequests.empty()) {
        const bool on = m_powerRequests.front();
        m_powerRequests.pop_front();
        if (on && !powered) {
            Queue(m_model->PowerOn(now));
        } else if (!on && powered) {
            m_model->PowerOff();
            // A device without power finishes no sentence.
            m_out.clear();
            m_in.clear();
        }
        powered = on;
    }
    m_changed.notify_all();
}

bool SimServer::WaitForBytes(long long count, std::chrono::milliseconds timeout) const
{
    return WaitFor([&] { return m_received.load() >= count; }, timeout);
}

} // namespace m845::devsim
