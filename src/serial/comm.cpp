#include "serial/comm.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QObject>
#include <QtGlobal>

#include "serial/comm_link.h"
#include "serial/comm_private.h"
#include "serial/comm_termios.h"

namespace m845 {

using detail::CommEvent;
using detail::CommLink;
using detail::CommMsg;

namespace detail {

// Receives the threads' postings on the owner's thread and raises the component's events.
class CommNotifier final : public QObject
{
public:
    explicit CommNotifier(TComm *owner)
        : m_owner(owner)
    {}

    bool event(QEvent *e) override
    {
        detail::TakeOver(e);
        if (e->type() != CommEvent::EventType())
            return QObject::event(e);
        if (m_owner == nullptr)
            return true; // the component went away inside a handler; its block goes with e
        const auto &report = *static_cast<CommEvent *>(e);
        // A report about a session that has been closed since is stale: its line error or
        // hang-up must not act on the port as it is now. Its bytes did arrive, and are kept.
        if (report.Session != m_session && report.Msg != CommMsg::Data)
            return true;
        ++m_depth;
        try {
            Dispatch(*m_owner, report);
        } catch (const std::exception &error) {
            // A handler's failure ends that handler only; the next notification still comes.
            qWarning("%s", error.what());
        }
        --m_depth;
        return true;
    }

    [[nodiscard]] bool Delivering() const { return m_depth > 0; }
    void Detach() { m_owner = nullptr; }
    // The open session whose reports are delivered; 0 while the port is closed.
    void SetSession(std::uint64_t session) { m_session = session; }

private:
    // Handlers run from a copy, so one may replace or clear itself while it runs.
    static void Dispatch(TComm &owner, const CommEvent &event)
    {
        switch (event.Msg) {
        case CommMsg::Data:
            if (auto handler = owner.OnReceiveData)
                handler(owner, event.Block.get(), static_cast<std::uint16_t>(event.Param));
            break;
        case CommMsg::Error:
            if (auto handler = owner.OnReceiveError)
                handler(owner, event.Param);
            break;
        case CommMsg::Hangup:
            if (auto handler = owner.OnRequestHangup)
                handler(owner);
            break;
        case CommMsg::Modem:
            if (auto handler = owner.OnModemStateChange)
                handler(owner, event.Param);
            break;
        case CommMsg::SendEmpty:
            if (auto handler = owner.OnSendDataEmpty)
                handler(owner);
            break;
        }
    }

    TComm *m_owner;
    int m_depth = 0;
    std::uint64_t m_session = 0;
};

} // namespace detail

namespace {

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

void TComm::Private::StopWatcher()
{
    if (!watcher.joinable())
        return;
    // The wake signal may land just before the watcher enters the driver's wait, so it is
    // repeated until the watcher says it has ended.
    link->watcherStop.store(true);
    pollfd done{link->watcherDoneFd, POLLIN, 0};
    do {
        pthread_kill(watcher.native_handle(), detail::ModemWakeSignal());
    } while (poll(&done, 1, 5) == 0);
    watcher.join();
}

void TComm::Private::Shutdown()
{
    notifier->SetSession(0);
    detail::SignalEventFd(link->closeFd);
    (void)tcflush(link->fd, TCIFLUSH);
    if (reader.joinable())
        reader.join();
    (void)tcflush(link->fd, TCOFLUSH);
    if (writer.joinable())
        writer.join();
    StopWatcher();
    Release(std::move(link));
}

void TComm::Private::Release(std::unique_ptr<CommLink> session)
{
    (void)ioctl(session->fd, TIOCNXCL);
    CloseFd(session->fd); // also drops the flock
    CloseFd(session->closeFd);
    CloseFd(session->queueFd);
    CloseFd(session->watcherDoneFd);
}

void TComm::Private::Fail(int error, const char *message)
{
    lastOpenError = error;
    throw ECommsError(message);
}

TComm::TComm()
    : d(std::make_unique<Private>())
{
    d->notifier = new detail::CommNotifier(this);
}

TComm::~TComm()
{
    ClosePort();
    if (d->notifier->Delivering()) {
        // Destroyed from inside one of its own handlers: the notifier is still on the stack.
        d->notifier->Detach();
        d->notifier->deleteLater();
    } else {
        delete d->notifier;
    }
}

void TComm::OpenPort()
{
    if (d->link)
        throw ECommsError("This serial port already opened");
    d->lastOpenError = 0;
    if (d->commName.empty())
        d->Fail(ENOENT, "Error opening serial port");

    const std::string path = DevicePath(d->commName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        d->Fail(errno, "Error opening serial port");
    auto link = std::make_unique<CommLink>();
    link->fd = fd;
    // TIOCEXCL alone does not stop root, and it says nothing to a program that opened first;
    // the lock stops every other instance of this tool whoever runs it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        CloseFd(link->fd);
        d->Fail(error, "Error opening serial port");
    }
    termios probe{};
    if (tcgetattr(fd, &probe) != 0) {
        const int error = errno;
        Private::Release(std::move(link));
        d->Fail(error, "Cannot setup comm buffer");
    }
    (void)ioctl(fd, TIOCEXCL);
    (void)tcflush(fd, TCIOFLUSH);

    link->closeFd = eventfd(0, EFD_CLOEXEC);
    link->queueFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    link->watcherDoneFd = eventfd(0, EFD_CLOEXEC);
    if (link->closeFd < 0 || link->queueFd < 0 || link->watcherDoneFd < 0) {
        const int error = errno;
        Private::Release(std::move(link));
        d->Fail(error, "Unable to create event");
    }
    link->notifier = d->notifier;
    link->session = ++d->sessionCount;
    link->lineDriver = d->lineDriver ? d->lineDriver : detail::RealLineDriver();

    d->link = std::move(link);
    d->notifier->SetSession(d->link->session);
    d->ApplyTimeouts();
    d->ApplyLineSettings();

    CommLink &session = *d->link;
    try {
        d->reader = std::thread(detail::ReceiveThreadBody, std::ref(session));
    } catch (const std::system_error &error) {
        Private::Release(std::move(d->link));
        d->Fail(error.code().value(), "Unable to create read thread");
    }
    try {
        d->writer = std::thread(detail::TransmitThreadBody, std::ref(session));
    } catch (const std::system_error &error) {
        d->Shutdown();
        d->Fail(error.code().value(), "Unable to create write thread");
    }
    try {
        (void)detail::ModemWakeSignal();
        d->watcher = std::thread(detail::ModemWatcherBody, std::ref(session));
    } catch (const std::system_error &) {
        // Without the watcher the port works; only carrier and ring go unreported.
    }
}

void TComm::ClosePort()
{
    if (d->link)
        d->Shutdown();
}

bool TComm::WriteData(const void *data, std::uint16_t length)
{
    CommLink *link = d->link.get();
    if (link == nullptr || length == 0 || data == nullptr || !link->writerAlive.load())
        return false;
    link->Write(static_cast<const std::uint8_t *>(data), length);
    return true;
}

void TComm::SetNextBlockLength(std::uint16_t length)
{
    if (d->link)
        d->link->nextBlockLength.store(length, std::memory_order_relaxed);
}

void TComm::PrepareReply(std::uint8_t answer, const void *reply, std::uint16_t length,
                         std::uint16_t replyAnswerLength)
{
    CommLink *link = d->link.get();
    if (link == nullptr || reply == nullptr || length == 0)
        return;
    const auto *bytes = static_cast<const std::uint8_t *>(reply);
    std::lock_guard lock(link->replyMutex);
    link->reply.assign(bytes, bytes + length);
    link->replyAnswer = answer;
    link->replyAnswerLength = replyAnswerLength;
    link->replySent = false;
}

bool TComm::TakeBackReply()
{
    CommLink *link = d->link.get();
    if (link == nullptr)
        return false;
    std::lock_guard lock(link->replyMutex);
    link->reply.clear();
    return std::exchange(link->replySent, false);
}

bool TComm::IsOpen() const
{
    return d->link != nullptr;
}

int TComm::LastOpenError() const
{
    return d->lastOpenError;
}

int TComm::ComHandle() const
{
    return d->link ? d->link->fd : -1;
}

std::string TComm::DevicePath(const std::string &commName)
{
    if (commName.find('/') != std::string::npos)
        return commName;
    return "/dev/" + commName;
}

void TComm::SetLineDriver(std::shared_ptr<ICommLineDriver> driver)
{
    d->lineDriver = std::move(driver);
}

} // namespace m845
