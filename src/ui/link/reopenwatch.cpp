#include "ui/link/reopenwatch.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace m845 {

bool IsGoneError(int error)
{
    // EIO: the node is still there while the adapter is being taken away.
    return error == ENOENT || error == ENODEV || error == ENXIO || error == EIO;
}

TReopenWatch::TReopenWatch(TTargetOf targetOf, std::int64_t spacingMs)
    : m_targetOf(std::move(targetOf))
    , m_spacingMs(spacingMs)
{}

void TReopenWatch::Lost(TLostPort port)
{
    m_port = std::move(port);
    m_watching = true;
}

std::optional<std::string> TReopenWatch::Back() const
{
    // A stable name decides alone: the old ttyUSB number may come back for another adapter.
    if (!m_port.stableLinks.empty()) {
        for (const std::string &link : m_port.stableLinks) {
            const std::string target = m_targetOf(link);
            if (target.empty())
                continue;
            const auto &links = m_port.stableLinks;
            if (std::find(links.begin(), links.end(), m_port.portText) != links.end())
                return m_port.portText;
            const std::filesystem::path device(target);
            // "ttyUSB0" was chosen from the list: the new one is shown the same way.
            if (m_port.portText.find('/') == std::string::npos && device.parent_path() == "/dev")
                return device.filename().string();
            return target;
        }
        return std::nullopt;
    }
    if (!m_targetOf(m_port.devicePath).empty())
        return m_port.portText;
    return std::nullopt;
}

std::optional<std::string> TReopenWatch::Due(std::int64_t nowMs)
{
    if (!m_watching || (m_lastAttempt && nowMs - *m_lastAttempt < m_spacingMs))
        return std::nullopt;
    std::optional<std::string> name = Back();
    if (name)
        m_lastAttempt = nowMs;
    return name;
}

void TReopenWatch::Attempted(bool opened, int error)
{
    if (opened || !IsGoneError(error))
        m_watching = false;
}

} // namespace m845
