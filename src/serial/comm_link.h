#pragma once

// What the owner of an open port shares with its threads, and the notification that carries
// a thread's report to the owner's thread.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include <QEvent>

#include "serial/comm.h"

class QObject;

namespace m845::detail {

inline constexpr std::size_t kCommBlockMax = 4096;

enum class CommMsg : std::uint8_t { Data = 1, Error, Hangup, Modem, SendEmpty };

// One notification on its way to the owner's thread. It owns its data block, so the block is
// released with the event: after the handler has run, or by Qt when the receiver is gone.
class CommEvent final : public QEvent
{
public:
    CommEvent(std::uint64_t session, CommMsg msg, std::uint32_t param,
              std::unique_ptr<std::uint8_t[]> block = {});

    [[nodiscard]] static QEvent::Type EventType();

    // The open session that posted it: only data outlives its session, so a queued line
    // error or hang-up never acts on a port the user has since closed or reopened.
    std::uint64_t Session;
    CommMsg Msg;
    // Byte count for Data, the flags or modem event otherwise.
    std::uint32_t Param;
    // Param bytes followed by one zero byte (Data only).
    std::unique_ptr<std::uint8_t[]> Block;
};

struct CommWriteRequest
{
    std::unique_ptr<std::uint8_t[]> data;
    std::uint16_t length = 0;
};

// One open session. The owner fills it before starting the threads and destroys it only after
// joining them, so the threads may hold a plain reference.
struct CommLink
{
    // Numbers the sessions of one component, from 1.
    std::uint64_t session = 0;
    int fd = -1;
    // Written once by ClosePort and never read, so it stays readable for every thread.
    int closeFd = -1;
    // Counts write requests queued since the transmit thread last looked.
    int queueFd = -1;
    // Written by the modem watcher as its last act.
    int watcherDoneFd = -1;
    QObject *notifier = nullptr;
    std::shared_ptr<ICommLineDriver> lineDriver;

    std::atomic<std::uint32_t> readInterval{10};
    std::atomic<std::uint32_t> readTotalMultiplier{0};
    std::atomic<std::uint32_t> readTotalConstant{0};
    std::atomic<std::uint32_t> writeTotalMultiplier{0};
    std::atomic<std::uint32_t> writeTotalConstant{0};
    std::atomic<bool> ignoreNull{false};
    // Set by the owner before a write whose answer has a known length; used up by the next
    // block the receive thread hands over, however that block ends. 0: silence alone.
    std::atomic<std::uint32_t> nextBlockLength{0};

    std::atomic<bool> hangupPosted{false};
    std::atomic<bool> writerAlive{true};
    std::atomic<bool> watcherStop{false};

    // Only the owner's WriteData and the transmit thread meet here, never the receive path.
    std::mutex queueMutex;
    std::deque<CommWriteRequest> queue;
    // The transmit thread is writing a request it took from the queue (under queueMutex).
    bool writing = false;

    // The owner's reply to an awaited one-byte answer, written by the receive thread the
    // moment that answer is in (see TComm::PrepareReply). Locked before queueMutex.
    std::mutex replyMutex;
    std::vector<std::uint8_t> reply; // empty: none prepared
    std::uint8_t replyAnswer = 0;
    std::uint16_t replyAnswerLength = 0;
    bool replySent = false;

    // WriteData's work once the request is known to be good: the free line takes the bytes
    // at once, from the calling thread; the rest goes to the transmit thread.
    void Write(const std::uint8_t *bytes, std::uint16_t length);
    // The receive thread's part, at a block cut at its set length: `block` is all that is in,
    // the cut block and whatever came with it. Returns the length awaited after the reply it wrote,
    // 0 when it wrote none.
    [[nodiscard]] std::uint16_t SendReplyTo(const std::uint8_t *block, std::size_t size);

    void Post(CommMsg msg, std::uint32_t param = 0, std::unique_ptr<std::uint8_t[]> block = {});
    // Both threads may meet the same failure; the owner hears of it once.
    void PostHangup();
    [[nodiscard]] bool CloseSignalled() const;
};

// The hand-over of a posted event goes through Qt's event queue, whose lock ThreadSanitizer
// cannot see (Qt is not built with it): these tell it, and are nothing in other builds.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
inline void HandOver(void *event)
{
    __tsan_release(event);
}
inline void TakeOver(void *event)
{
    __tsan_acquire(event);
}
#else
inline void HandOver(void *) {}
inline void TakeOver(void *) {}
#endif

// Adds one to the count of an eventfd, which wakes whoever polls it.
void SignalEventFd(int eventFd);

// Writes what the non-blocking line takes now; returns the count. `error` is what stopped it:
// EAGAIN for a full line, another errno for a failure, 0 when everything went.
std::size_t WriteWithoutWaiting(int fd, const std::uint8_t *bytes, std::size_t length, int &error);

void ReceiveThreadBody(CommLink &link);
void TransmitThreadBody(CommLink &link);
void ModemWatcherBody(CommLink &link);

// Interrupts a modem watcher blocked in the driver; installs its no-op handler on first use.
[[nodiscard]] int ModemWakeSignal();

[[nodiscard]] std::shared_ptr<ICommLineDriver> RealLineDriver();

} // namespace m845::detail
