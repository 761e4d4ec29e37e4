#include "devsim/simserver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace m845::devsim {

namespace {

bool SpeedOf(int baud, speed_t &speed)
{
    static const std::pair<int, speed_t> table[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto &[rate, constant] : table) {
        if (rate == baud) {
            speed = constant;
            return true;
        }
    }
    return false;
}

// Raw 8N1 at the given rate; a line that is no terminal is left as it is.
void MakeRaw(int fd, int baud)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return;
    }
    cfmakeraw(&tio);
    speed_t speed = B115200;
    if (SpeedOf(baud, speed)) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
}

// Control bytes would break the one-entry-per-line file; they are shown as \xHH.
std::string Escaped(const std::string &line)
{
    std::string out;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// How long before an exact hand-over the thread stops sleeping; covers the timer's slack and
// wake-up here.
constexpr std::chrono::nanoseconds kSpinLead = std::chrono::microseconds(150);

timespec ToTimespec(std::chrono::nanoseconds span)
{
    const auto ns = std::max<std::int64_t>(span.count(), 0);
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

} // namespace

SimServer::SimServer(SimOptions options)
    : m_options(std::move(options))
{
    m_byteTime = std::chrono::nanoseconds(10'000'000'000LL / std::max(m_options.baud, 1));
}

SimServer::~SimServer()
{
    Stop();
}

bool SimServer::Start(std::string *error)
{
    std::string message;
    auto fail = [&](const std::string &text) {
        if (error != nullptr) {
            *error = text;
        }
        Stop();
        return false;
    };
    if (m_thread.joinable()) {
        return fail("the simulator is already running");
    }
    speed_t unused{};
    if (!SpeedOf(m_options.baud, unused)) {
        return fail("unsupported baud rate " + std::to_string(m_options.baud));
    }
    ParamStore store;
    if (!m_options.stateFile.empty()) {
        struct stat info
        {
        };
        if (::stat(m_options.stateFile.c_str(), &info) == 0
            && !store.LoadFile(m_options.stateFile, message)) {
            return fail(message);
        }
        if (!store.SaveFile(m_options.stateFile, message)) {
            return fail(message);
        }
    }
    if (!m_options.traceFile.empty()) {
        std::ofstream trace(m_options.traceFile, std::ios::binary | std::ios::trunc);
        if (!trace) {
            return fail("cannot write " + m_options.traceFile);
        }
    }
    for (auto &[name, value] : m_presets) {
        store.Put(name, std::move(value));
    }
    m_presets.clear();
    m_model = std::make_unique<DeviceModel>(m_options.model, std::move(store));
    m_model->onTrace = [this](const std::string &line) {
        WriteTrace(line);
    };
    m_model->onStoreChanged = [this] {
        SaveState();
    };
    m_model->onFirmware = [this](const std::string &image) {
        WriteFirmware(image);
    };

    if (!OpenLine(message)) {
        return fail(message);
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return fail(std::string("pipe: ") + std::strerror(errno));
    }
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool SimServer::OpenLine(std::string &error)
{
    if (!m_options.portPath.empty()) {
        m_fd = ::open(m_options.portPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            error = "cannot open " + m_options.portPath + ": " + std::strerror(errno);
            return false;
        }
        MakeRaw(m_fd, m_options.baud);
        m_slavePath = m_options.portPath;
        m_isPty = false;
        return true;
    }
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    MakeRaw(master, m_options.baud);
    MakeRaw(slave, m_options.baud);
    const char *name = ::ttyname(slave);
    m_slavePath = name != nullptr ? name : "";
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    // With our slave end closed the master reports a hang-up until the peer opens the line.
    ::close(slave);
    m_fd = master;
    m_isPty = true;
    if (m_slavePath.empty()) {
        error = "the pseudo-terminal has no name";
        return false;
    }
    if (!m_options.linkPath.empty()) {
        struct stat info
        {
        };
        if (::lstat(m_options.linkPath.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                error = m_options.linkPath + " exists and is not a symbolic link";
                return false;
            }
            ::unlink(m_options.linkPath.c_str());
        }
        if (::symlink(m_slavePath.c_str(), m_options.linkPath.c_str()) != 0) {
            error = "cannot link " + m_options.linkPath + ": " + std::strerror(errno);
            return false;
        }
        m_linkMade = true;
    }
    return true;
}

void SimServer::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const char byte = 0;
        [[maybe_unused]] const auto ignored = ::write(m_wakeWrite, &byte, 1);
        m_thread.join();
    }
    CloseLine();
    for (int *fd : {&m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    if (m_linkMade) {
        ::unlink(m_options.linkPath.c_str());
        m_linkMade = false;
    }
}

void SimServer::CloseLine()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void SimServer::Queue(std::vector<Burst> bursts)
{
    for (Burst &burst : bursts) {
        // Bursts leave in order; one due earlier than its predecessor waits for it.
        const TimePoint at = m_out.empty() ? burst.at : std::max(burst.at, m_out.back().at);
        m_out.push_back(Pending{at, std::move(burst.bytes), 0, false, TimePoint{}});
    }
}

std::optional<TimePoint> SimServer::Flush(TimePoint now)
{
    while (!m_out.empty() && m_fd >= 0) {
        Pending &p = m_out.front();
        if (p.at > now) {
            return p.at;
        }
        std::size_t due = p.bytes.size();
        if (m_options.baudPace) {
            if (!p.started) {
                p.started = true;
                p.lineStart = std::max(p.at, m_lineFreeAt);
            }
            // A byte is handed over when its stop bit would have ended.
            const auto elapsed = now - p.lineStart;
            due = elapsed.count() < 0
                      ? 0
                      : std::min<std::size_t>(p.bytes.size(),
                                              static_cast<std::size_t>(elapsed / m_byteTime));
        }
        if (due > p.written) {
            const ssize_t n = ::write(m_fd, p.bytes.data() + p.written, due - p.written);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    return now + std::chrono::milliseconds(2);
                }
                m_out.pop_front(); // the line refuses it for good; a real wire would lose it
                continue;
            }
            p.written += static_cast<std::size_t>(n);
        }
        if (p.written == p.bytes.size()) {
            if (m_options.baudPace) {
                m_lineFreeAt = p.lineStart + m_byteTime * static_cast<long>(p.bytes.size());
            }
            m_out.pop_front();
            continue;
        }
        if (!m_options.baudPace || p.written < due) {
            return now + std::chrono::milliseconds(1);
        }
        return p.lineStart + m_byteTime * static_cast<long>(p.written + 1);
    }
    return std::nullopt;
}

bool SimServer::LastByteNext() const
{
    return m_options.baudPace && !m_out.empty() && m_out.front().started
           && m_out.front().written + 1 == m_out.front().bytes.size();
}

void SimServer::HandleInput(const char *data, std::size_t count, TimePoint now)
{
    if (!m_options.baudPace) {
        Feed(data, count, now);
        return;
    }
    // The peer's write lands in the pty at once; on a wire its bytes follow one another.
    if (m_in.empty()) {
        m_inNextDue = std::max(now, m_inLineFreeAt) + m_byteTime;
    }
    m_in.append(data, count);
}

std::optional<TimePoint> SimServer::ReleaseInput(TimePoint now)
{
    if (m_in.empty()) {
        return std::nullopt;
    }
    if (now < m_inNextDue) {
        return m_inNextDue;
    }
    const auto count = std::min<std::size_t>(
        m_in.size(), 1 + static_cast<std::size_t>((now - m_inNextDue) / m_byteTime));
    m_inLineFreeAt = m_inNextDue + m_byteTime * static_cast<long>(count - 1);
    m_inNextDue += m_byteTime * static_cast<long>(count);
    const std::string arrived = m_in.substr(0, count);
    m_in.erase(0, count);
    // The device hears them at the last one's stop bit, however late this thread woke.
    Feed(arrived.data(), arrived.size(), m_inLineFreeAt);
    if (m_dropped) {
        m_in.clear();
    }
    return m_in.empty() ? std::nullopt : std::optional<TimePoint>(m_inNextDue);
}

void SimServer::Feed(const char *data, std::size_t count, TimePoint now)
{
    std::size_t take = count;
    bool drop = false;
    if (m_options.dropAfter >= 0) {
        const long long left = m_options.dropAfter - m_received.load();
        take = static_cast<std::size_t>(
            std::clamp<long long>(left, 0, static_cast<long long>(count)));
        drop = m_received.load() + static_cast<long long>(take) >= m_options.dropAfter;
    }
    {
        std::lock_guard lock(m_mutex);
        m_received += static_cast<long long>(take);
        if (take > 0) {
            Queue(m_model->Receive(std::string_view(data, take), now));
        }
    }
    if (drop) {
        // Like a pulled cable: the line vanishes mid-stream and what was due is lost.
        Flush(now);
        m_dropped = true; // before the line goes, so whoever sees it gone sees why
        CloseLine();
        m_out.clear();
    }
    m_changed.notify_all();
}

void SimServer::Run()
{
    m_powerByHand = m_powerByHand || m_options.startPoweredOff;
    bool powered = !m_options.startPoweredOff && (!m_isPty || !m_options.powerOnAtOpen);
    if (powered) {
        std::lock_guard lock(m_mutex);
        Queue(m_model->PowerOn(SimClock::now()));
    }
    char buffer[4096];
    while (!m_stop && !m_dropped) {
        TimePoint now = SimClock::now();
        const std::optional<TimePoint> nextIn = ReleaseInput(now);
        if (m_dropped) {
            break;
        }
        std::optional<TimePoint> deadline;
        {
            std::lock_guard lock(m_mutex);
            if (powered) {
                Queue(m_model->Tick(now));
            }
            deadline = m_model->NextDeadline();
        }
        m_changed.notify_all();
        const auto nextOut = Flush(now);
        for (const auto &next : {nextOut, nextIn}) {
            if (next && (!deadline || *next < *deadline)) {
                deadline = next;
            }
        }
        auto wait = deadline ? std::chrono::nanoseconds(*deadline - now)
                             : std::chrono::nanoseconds(std::chrono::seconds(1));
        if (!powered) {
            // The opening of the line shows only as a hang-up that ends; look often.
            wait = std::min(wait, std::chrono::nanoseconds(std::chrono::milliseconds(5)));
        }
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        // A peer acts on the last byte of an answer: that one leaves at its stop bit, not at
        // the timer's wake-up, which comes as late as a whole byte time at 115 200 Bd.
        const bool exact = nextOut && deadline == nextOut && LastByteNext();
        timespec span = ToTimespec(exact ? wait - kSpinLead : wait);
        int ready = ::ppoll(fds, 2, &span, nullptr);
        if (exact) {
            timespec none{0, 0};
            while (ready == 0 && SimClock::now() < *deadline) {
                ready = ::ppoll(fds, 2, &none, nullptr);
            }
        }
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char drain[16];
            while (::read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        now = SimClock::now();
        const bool readable = (fds[0].revents & POLLIN) != 0;
        bool hungUp = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        ApplyPowerRequests(powered, now);
        if (!powered && !m_powerByHand && (readable || !hungUp)) {
            powered = true;
            std::lock_guard lock(m_mutex);
            Queue(m_model->PowerOn(now));
        }
        if (readable) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                HandleInput(buffer, static_cast<std::size_t>(n), now);
                continue;
            }
            hungUp = hungUp || (n < 0 && errno == EIO);
        }
        if (hungUp) {
            // Nobody holds the line open: look again shortly, without spinning.
            pollfd wake{m_wakeRead, POLLIN, 0};
            auto pause = std::chrono::nanoseconds(std::chrono::milliseconds(5));
            if (deadline) {
                pause = std::min(pause, std::chrono::nanoseconds(*deadline - SimClock::now()));
            }
            timespec pauseSpan = ToTimespec(pause);
            ::ppoll(&wake, 1, &pauseSpan, nullptr);
        }
    }
    m_changed.notify_all();
}

void SimServer::SaveState()
{
    if (m_options.stateFile.empty()) {
        return;
    }
    std::string error;
    if (!m_model->Store().SaveFile(m_options.stateFile, error)) {
        std::fprintf(stderr, "m845sim: %s\n", error.c_str());
    }
}

void SimServer::WriteTrace(const std::string &line)
{
    if (m_options.traceFile.empty()) {
        return;
    }
    std::ofstream trace(m_options.traceFile, std::ios::binary | std::ios::app);
    trace << Escaped(line) << '\n';
    if (!trace.flush()) {
        std::fprintf(stderr, "m845sim: cannot write %s\n", m_options.traceFile.c_str());
    }
}

void SimServer::WriteFirmware(const std::string &image)
{
    if (m_options.fwOutFile.empty()) {
        return;
    }
    std::ofstream out(m_options.fwOutFile, std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "m845sim: cannot write %s\n", m_options.fwOutFile.c_str());
    }
}

DeviceMode SimServer::Mode() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->Mode() : DeviceMode::PoweredOff;
}

std::vector<std::string> SimServer::Trace() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->Trace() : std::vector<std::string>();
}

std::string SimServer::Param(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->Store().Get(name) : std::string();
}

std::map<std::string, std::string> SimServer::Params() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->Store().Values() : std::map<std::string, std::string>();
}

void SimServer::SetParam(std::string_view name, std::string value)
{
    std::lock_guard lock(m_mutex);
    if (m_model) {
        m_model->Store().Put(name, std::move(value));
        SaveState();
    } else {
        // Before Start: kept and put into the store the device starts with.
        m_presets.emplace_back(name, std::move(value));
    }
}

std::string SimServer::Firmware() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->Firmware() : std::string();
}

int SimServer::FirmwareImages() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->FirmwareImages() : 0;
}

std::optional<TimePoint> SimServer::LastStartRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_model ? m_model->LastStartRequest() : std::nullopt;
}

bool SimServer::WaitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_model && done(); });
}

bool SimServer::WaitForTrace(std::size_t count, std::chrono::milliseconds timeout) const
{
    return WaitFor([&] { return m_model->Trace().size() >= count; }, timeout);
}

bool SimServer::WaitForMode(DeviceMode mode, std::chrono::milliseconds timeout) const
{
    return WaitFor([&] { return m_model->Mode() == mode; }, timeout);
}

bool SimServer::WaitForFirmware(int images, std::chrono::milliseconds timeout) const
{
    return WaitFor([&] { return m_model->FirmwareImages() >= images; }, timeout);
}

} // namespace m845::devsim
