#include "serial/comm_link.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <mutex>

#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

namespace m845::detail {

namespace {

using Clock = std::timespec;

Clock Now()
{
    Clock t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

Clock AddMs(Clock t, std::uint64_t ms)
{
    t.tv_sec += static_cast<std::time_t>(ms / 1000);
    t.tv_nsec += static_cast<long>(ms % 1000) * 1'000'000L;
    if (t.tv_nsec >= 1'000'000'000L) {
        t.tv_nsec -= 1'000'000'000L;
        ++t.tv_sec;
    }
    return t;
}

bool Before(const Clock &a, const Clock &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// b - a, clamped at zero.
Clock Remaining(const Clock &a, const Clock &b)
{
    if (!Before(a, b))
        return Clock{};
    Clock r{b.tv_sec - a.tv_sec, b.tv_nsec - a.tv_nsec};
    if (r.tv_nsec < 0) {
        r.tv_nsec += 1'000'000'000L;
        --r.tv_sec;
    }
    return r;
}

// Best effort: only a privileged process may raise a thread above the others.
void RaisePriority(int steps)
{
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -steps);
}

std::uint32_t ErrorFlags(const TCommLineCounters &was, const TCommLineCounters &now)
{
    std::uint32_t flags = 0;
    if (now.frame != was.frame)
        flags |= kCommErrorFrame;
    if (now.overrun != was.overrun)
        flags |= kCommErrorOverrun;
    if (now.parity != was.parity)
        flags |= kCommErrorParity;
    if (now.brk != was.brk)
        flags |= kCommErrorBreak;
    if (now.bufOverrun != was.bufOverrun)
        flags |= kCommErrorRxOver;
    return flags;
}

class ReceiveBlock
{
public:
    explicit ReceiveBlock(CommLink &link)
        : m_link(link)
    {
        m_hasCounters = m_link.lineDriver->ReadCounters(m_link.fd, m_counters);
    }

    [[nodiscard]] std::size_t Size() const { return m_size; }
    [[nodiscard]] const std::uint8_t *Data() const { return m_buffer; }
    [[nodiscard]] bool Full() const { return m_size == kCommBlockMax; }
    std::uint8_t *Free() { return m_buffer + m_size; }
    [[nodiscard]] std::size_t FreeSize() const { return kCommBlockMax - m_size; }

    void Added(std::size_t count)
    {
        if (m_link.ignoreNull.load(std::memory_order_relaxed)) {
            std::uint8_t *begin = m_buffer + m_size;
            count = static_cast<std::size_t>(std::remove(begin, begin + count, 0) - begin);
        }
        m_size += count;
    }

    // Errors first: they belong to the bytes of this block, which were read after them. The
    // first `count` bytes go; the rest stay as the start of the next block.
    void Deliver(std::size_t count)
    {
        if (m_hasCounters) {
            TCommLineCounters now{};
            if (m_link.lineDriver->ReadCounters(m_link.fd, now)) {
                if (const std::uint32_t flags = ErrorFlags(m_counters, now))
                    m_link.Post(CommMsg::Error, flags);
                m_counters = now;
            }
        }
        count = std::min(count, m_size);
        if (count == 0)
            return;
        m_link.nextBlockLength.store(0, std::memory_order_relaxed);
        auto block = std::make_unique<std::uint8_t[]>(count + 1);
        std::memcpy(block.get(), m_buffer, count);
        m_link.Post(CommMsg::Data, static_cast<std::uint32_t>(count), std::move(block));
        m_size -= count;
        std::memmove(m_buffer, m_buffer + count, m_size);
    }
    void Deliver() { Deliver(m_size); }

private:
    CommLink &m_link;
    std::uint8_t m_buffer[kCommBlockMax]{};
    std::size_t m_size = 0;
    bool m_hasCounters = false;
    TCommLineCounters m_counters;
};

// When the block being filled must go out: silence after its last byte, or the total read
// time-out counted from its first byte (no idle wake-ups while nothing arrives).
Clock BlockDeadline(const CommLink &link, const Clock &first, const Clock &last)
{
    Clock deadline = AddMs(last, link.readInterval.load(std::memory_order_relaxed));
    const std::uint64_t multiplier = link.readTotalMultiplier.load(std::memory_order_relaxed);
    const std::uint64_t constant = link.readTotalConstant.load(std::memory_order_relaxed);
    if (multiplier != 0 || constant != 0) {
        const Clock total = AddMs(first, multiplier * kCommBlockMax + constant);
        if (Before(total, deadline))
            deadline = total;
    }
    return deadline;
}

// The writer is marked ended before its hang-up is posted, so an owner reacting to the
// hang-up already finds WriteData refusing.
void GiveUpWriting(CommLink &link)
{
    link.writerAlive.store(false);
    link.PostHangup();
}

// Waits for room on the line; false when the request has to be given up.
bool WaitWritable(CommLink &link, const Clock *deadline)
{
    for (;;) {
        pollfd fds[2] = {{link.closeFd, POLLIN, 0}, {link.fd, POLLOUT, 0}};
        Clock remaining{};
        if (deadline) {
            remaining = Remaining(Now(), *deadline);
            if (remaining.tv_sec == 0 && remaining.tv_nsec == 0) {
                GiveUpWriting(link); // the write time-out cut the request short
                return false;
            }
        }
        const int ready = ppoll(fds, 2, deadline ? &remaining : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            GiveUpWriting(link);
            return false;
        }
        if (fds[0].revents != 0)
            return false;
        if (ready == 0)
            continue; // the deadline check above reports it
        if ((fds[1].revents & POLLNVAL) != 0)
            return false;
        if ((fds[1].revents & (POLLHUP | POLLERR)) != 0)
            return false; // the receive thread reports the hang-up after its last bytes
        return true;
    }
}

bool WriteRequest(CommLink &link, const CommWriteRequest &request)
{
    const std::uint64_t multiplier = link.writeTotalMultiplier.load(std::memory_order_relaxed);
    const std::uint64_t constant = link.writeTotalConstant.load(std::memory_order_relaxed);
    Clock deadline{};
    const bool timed = multiplier != 0 || constant != 0;
    if (timed)
        deadline = AddMs(Now(), multiplier * request.length + constant);

    std::size_t done = 0;
    for (;;) {
        int error = 0;
        done += WriteWithoutWaiting(link.fd, request.data.get() + done, request.length - done,
                                    error);
        if (done == request.length)
            return true;
        if (error != EAGAIN) {
            // EIO is a device gone, which the receive thread reports after its last bytes.
            if (error != EBADF && error != EIO)
                GiveUpWriting(link);
            return false;
        }
        if (!WaitWritable(link, timed ? &deadline : nullptr))
            return false;
    }
}

class RealDriver final : public ICommLineDriver
{
public:
    bool ReadCounters(int fd, TCommLineCounters &counters) override
    {
        serial_icounter_struct icount{};
        if (ioctl(fd, TIOCGICOUNT, &icount) != 0)
            return false;
        counters.frame = static_cast<std::uint32_t>(icount.frame);
        counters.overrun = static_cast<std::uint32_t>(icount.overrun);
        counters.parity = static_cast<std::uint32_t>(icount.parity);
        counters.brk = static_cast<std::uint32_t>(icount.brk);
        counters.bufOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
        counters.dcd = static_cast<std::uint32_t>(icount.dcd);
        counters.rng = static_cast<std::uint32_t>(icount.rng);
        return true;
    }

    int WaitModemChange(int fd) override
    {
        if (ioctl(fd, TIOCMIWAIT, TIOCM_CD | TIOCM_RNG) == 0)
            return 1;
        return errno == EINTR ? 0 : -1;
    }
};

void NoOpHandler(int) {}

} // namespace

std::size_t WriteWithoutWaiting(int fd, const std::uint8_t *bytes, std::size_t length, int &error)
{
    std::size_t done = 0;
    error = 0;
    while (done < length) {
        const ssize_t wrote = ::write(fd, bytes + done, length - done);
        if (wrote > 0) {
            done += static_cast<std::size_t>(wrote);
        } else if (wrote < 0 && errno == EINTR) {
            continue;
        } else {
            // A tty that takes nothing without an error is as good as full.
            error = wrote < 0 ? errno : EAGAIN;
            break;
        }
    }
    return done;
}

CommEvent::CommEvent(std::uint64_t session, CommMsg msg, std::uint32_t param,
                     std::unique_ptr<std::uint8_t[]> block)
    : QEvent(EventType())
    , Session(session)
    , Msg(msg)
    , Param(param)
    , Block(std::move(block))
{}

QEvent::Type CommEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void SignalEventFd(int eventFd)
{
    const std::uint64_t one = 1;
    (void)::write(eventFd, &one, sizeof one);
}

void CommLink::Write(const std::uint8_t *bytes, std::uint16_t length)
{
    std::uint16_t done = 0;
    {
        std::lock_guard lock(queueMutex);
        // A free line takes the bytes at once, from this thread: an answer awaited by the
        // other end leaves without a hand-over to the transmit thread. Whatever does not go
        // without waiting, or fails, is the transmit thread's to finish or report.
        int error = 0;
        if (queue.empty() && !writing)
            done = static_cast<std::uint16_t>(WriteWithoutWaiting(fd, bytes, length, error));
        if (done < length) {
            const auto left = static_cast<std::uint16_t>(length - done);
            CommWriteRequest request{std::make_unique<std::uint8_t[]>(left + 1u), left};
            std::memcpy(request.data.get(), bytes + done, left);
            queue.push_back(std::move(request));
        }
    }
    if (done < length)
        SignalEventFd(queueFd);
    else
        Post(CommMsg::SendEmpty);
}

std::uint16_t CommLink::SendReplyTo(const std::uint8_t *block, std::size_t size)
{
    std::lock_guard lock(replyMutex);
    if (reply.empty())
        return 0;
    // Whatever the block, the reply was meant for this one: it never waits for a later block.
    const bool answered = size == 1 && block[0] == replyAnswer && writerAlive.load();
    if (answered) {
        Write(reply.data(), static_cast<std::uint16_t>(reply.size()));
        replySent = true;
    }
    reply.clear();
    return answered ? replyAnswerLength : 0;
}

void CommLink::Post(CommMsg msg, std::uint32_t param, std::unique_ptr<std::uint8_t[]> block)
{
    // Thread-safe, keeps posting order, and drops the event if the receiver is ever deleted.
    auto *event = new CommEvent(session, msg, param, std::move(block));
    HandOver(event);
    QCoreApplication::postEvent(notifier, event);
}

void CommLink::PostHangup()
{
    if (!hangupPosted.exchange(true))
        Post(CommMsg::Hangup);
}

bool CommLink::CloseSignalled() const
{
    pollfd fd{closeFd, POLLIN, 0};
    return poll(&fd, 1, 0) > 0;
}

void ReceiveThreadBody(CommLink &link)
{
    RaisePriority(2);
    auto block = std::make_unique<ReceiveBlock>(link);
    Clock first{};
    Clock last{};
    for (;;) {
        pollfd fds[2] = {{link.closeFd, POLLIN, 0}, {link.fd, POLLIN, 0}};
        Clock remaining{};
        const bool filling = block->Size() > 0;
        if (filling) {
            remaining = Remaining(Now(), BlockDeadline(link, first, last));
            if (remaining.tv_sec == 0 && remaining.tv_nsec == 0) {
                block->Deliver();
                continue;
            }
        }
        const int ready = ppoll(fds, 2, filling ? &remaining : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            link.PostHangup();
            break;
        }
        if (fds[0].revents != 0)
            break; // a close always wins; ClosePort discards what is buffered
        if (ready == 0)
            continue; // the line fell silent: the deadline check delivers
        if ((fds[1].revents & POLLNVAL) != 0)
            break;
        const ssize_t got = ::read(link.fd, block->Free(), block->FreeSize());
        if (got > 0) {
            const Clock now = Now();
            if (block->Size() == 0)
                first = now;
            last = now;
            block->Added(static_cast<std::size_t>(got));
            // An awaited answer of known length goes the moment it is in, without waiting for
            // the silence after it.
            const std::size_t expected = link.nextBlockLength.load(std::memory_order_relaxed);
            if (expected != 0 && block->Size() >= expected) {
                // A prepared reply leaves before the answer is handed over; its own answer is
                // awaited at once, before this thread reads again.
                const std::uint16_t replyAnswer = link.SendReplyTo(block->Data(), block->Size());
                block->Deliver(expected);
                if (replyAnswer != 0)
                    link.nextBlockLength.store(replyAnswer, std::memory_order_relaxed);
                first = now;
            }
            if (block->Full() || link.readInterval.load(std::memory_order_relaxed) == 0)
                block->Deliver();
            continue;
        }
        // Nothing to read is a spurious wake-up, unless the line reports a hang-up: then
        // going on would spin.
        const bool hungUp = (fds[1].revents & (POLLHUP | POLLERR)) != 0;
        if (got < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp)))
            continue;
        // End of file or EIO: the device has gone (an adapter pulled, a pty master closed).
        block->Deliver();
        link.PostHangup();
        break;
    }
    (void)tcflush(link.fd, TCIFLUSH);
}

void TransmitThreadBody(CommLink &link)
{
    RaisePriority(1);
    bool wroteSinceIdle = true;
    for (;;) {
        CommWriteRequest request;
        {
            std::lock_guard lock(link.queueMutex);
            if (!link.queue.empty()) {
                request = std::move(link.queue.front());
                link.queue.pop_front();
            }
            link.writing = request.data != nullptr;
        }
        if (!request.data) {
            if (wroteSinceIdle)
                link.Post(CommMsg::SendEmpty);
            wroteSinceIdle = false;
            // The port is watched for nothing but a hang-up, so a pulled adapter ends this
            // thread too and WriteData can say so; the receive thread reports it.
            pollfd fds[3] = {{link.closeFd, POLLIN, 0}, {link.queueFd, POLLIN, 0}, {link.fd, 0, 0}};
            if (poll(fds, 3, -1) < 0) {
                if (errno == EINTR)
                    continue;
                GiveUpWriting(link);
                break;
            }
            if (fds[0].revents != 0)
                break;
            if ((fds[2].revents & POLLNVAL) != 0)
                break;
            if ((fds[2].revents & (POLLHUP | POLLERR)) != 0)
                break;
            std::uint64_t count = 0;
            (void)::read(link.queueFd, &count, sizeof count);
            continue;
        }
        if (link.CloseSignalled())
            break;
        if (!WriteRequest(link, request))
            break;
        wroteSinceIdle = true;
    }
    link.writerAlive.store(false);
    (void)tcflush(link.fd, TCOFLUSH);
}

void ModemWatcherBody(CommLink &link)
{
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, ModemWakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);

    TCommLineCounters last{};
    if (link.lineDriver->ReadCounters(link.fd, last)) {
        while (!link.watcherStop.load()) {
            const int changed = link.lineDriver->WaitModemChange(link.fd);
            if (link.watcherStop.load() || changed < 0)
                break;
            if (changed == 0)
                continue;
            TCommLineCounters now{};
            if (!link.lineDriver->ReadCounters(link.fd, now))
                break;
            std::uint32_t event = 0;
            if (now.dcd != last.dcd)
                event |= kModemEventCarrier;
            if (now.rng != last.rng)
                event |= kModemEventRing;
            last = now;
            if (event != 0)
                link.Post(CommMsg::Modem, event);
        }
    }
    const std::uint64_t one = 1;
    (void)::write(link.watcherDoneFd, &one, sizeof one);
}

int ModemWakeSignal()
{
    static const int signal = [] {
        const int number = SIGRTMIN + 7;
        struct sigaction action
        {
        };
        action.sa_handler = NoOpHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the blocked ioctl must return EINTR
        sigaction(number, &action, nullptr);
        return number;
    }();
    return signal;
}

std::shared_ptr<ICommLineDriver> RealLineDriver()
{
    static const auto driver = std::make_shared<RealDriver>();
    return driver;
}

} // namespace m845::detail
