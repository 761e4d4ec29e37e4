// Reception, hang-up, line errors and modem events of TComm over pseudo-terminals.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "comm_recorder.h"
#include "pty_pair.h"
#include "serial/comm.h"

namespace m845 {
namespace {

using test::CommRecorder;
using test::Pattern;
using test::PtyPair;
using test::WaitFor;

using CommReceiveTest = test::CommOnPtyTest;

TEST_F(CommReceiveTest, SilenceEndsABlockAndEveryBlockIsZeroTerminated)
{
    comm.SetReadIntervalTimeout(30);
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("+ok\r\n"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }));
    ASSERT_TRUE(pty.Write("AT+VER?"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 2; }));
    EXPECT_EQ(recorder.blocks[0], "+ok\r\n");
    EXPECT_EQ(recorder.blocks[1], "AT+VER?");
    EXPECT_TRUE(recorder.everyBlockTerminated);
}

TEST_F(CommReceiveTest, PausesShorterThanTheIntervalKeepOneBlock)
{
    // Generous against a loaded machine: the pieces are a few ms apart, the interval 600 ms.
    comm.SetReadIntervalTimeout(600);
    comm.OpenPort();
    std::thread device([this] {
        for (const char *piece : {"+VER:", "V1.0", ".12", "\r\n"}) {
            pty.Write(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_TRUE(WaitFor([&] { return !recorder.blocks.empty(); }));
    device.join();
    EXPECT_EQ(recorder.blocks.front(), "+VER:V1.0.12\r\n");
}

TEST_F(CommReceiveTest, AFullBlockOf4096GoesAtOnce)
{
    comm.SetReadIntervalTimeout(300);
    comm.OpenPort();
    const std::string data = Pattern(10000, 3);
    std::thread device([&] { pty.Write(data); });
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().size() == data.size(); }));
    device.join();
    EXPECT_EQ(recorder.Received(), data);
    ASSERT_EQ(recorder.blocks.size(), 3u);
    EXPECT_EQ(recorder.blocks[0].size(), 4096u);
    EXPECT_EQ(recorder.blocks[1].size(), 4096u);
    EXPECT_EQ(recorder.blocks[2].size(), 10000u - 2 * 4096u);
    EXPECT_TRUE(recorder.everyBlockTerminated);
}

TEST_F(CommReceiveTest, ManyBlocksArriveWholeAndInLineOrder)
{
    comm.SetReadIntervalTimeout(2);
    comm.OpenPort();
    std::string data;
    std::thread device([&] {
        std::string sent;
        for (std::uint32_t burst = 0; burst < 300; ++burst) {
            const std::string piece = Pattern(1 + (burst * 97) % 9000, burst);
            pty.Write(piece);
            sent += piece;
            if (burst % 16 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        data = sent;
    });
    device.join();
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().size() >= data.size(); }));
    EXPECT_EQ(recorder.Received(), data);
    EXPECT_LE(recorder.longestBlock, 4096u);
    EXPECT_GT(recorder.blocks.size(), 16u);
    EXPECT_TRUE(recorder.everyBlockTerminated);
}

// An awaited answer of known length goes the moment it is in. The interval is far longer than
// any wait here, so only the cut can deliver; the bytes that came with the answer wait for the
// silence again, as the start of the next block.
TEST_F(CommReceiveTest, AnExpectedLengthCutsTheNextBlockOnly)
{
    comm.SetReadIntervalTimeout(600000);
    comm.OpenPort();
    comm.SetNextBlockLength(1);
    ASSERT_TRUE(pty.Write("\x06"
                          "BC"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }));
    // A short interval from here; one more byte wakes the reader to use it.
    comm.SetReadIntervalTimeout(10);
    ASSERT_TRUE(pty.Write("D"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 2; }));
    EXPECT_EQ(recorder.blocks, (std::vector<std::string>{"\x06", "BCD"}));
    EXPECT_TRUE(recorder.everyBlockTerminated);
}

// A prepared reply leaves from the receive thread the moment its one-byte answer is cut at its
// length; the test's event loop does not turn until the reply is read. Any other block or a take
// back puts it aside unsent; since a reply would leave before its block is handed
// over, an empty master after the block is proof that none went.
struct ReplyCase
{
    const char *name;
    std::uint16_t nextLength;
    bool takenBack;
    const char *rx;
    bool replies;
};

class CommReplyTest : public test::CommOnPtyTest, public testing::WithParamInterface<ReplyCase>
{
};

TEST_P(CommReplyTest, GoesOnlyAsTheAnswerToTheBlockCutAtItsLength)
{
    const ReplyCase &c = GetParam();
    comm.SetReadIntervalTimeout(10);
    comm.OpenPort();
    comm.SetNextBlockLength(c.nextLength);
    comm.PrepareReply(0x06, "REPLY", 5, 4);
    if (c.takenBack) {
        EXPECT_FALSE(comm.TakeBackReply());
    }
    ASSERT_TRUE(pty.Write(c.rx));
    if (c.replies) {
        EXPECT_EQ(pty.Read(5), "REPLY");
    }
    ASSERT_TRUE(WaitFor([&] { return recorder.Received() == c.rx; }));
    EXPECT_EQ(recorder.blocks.front(), std::string(c.rx, 1));
    EXPECT_FALSE(pty.WaitReadable(0));
    EXPECT_EQ(comm.TakeBackReply(), c.replies);
    EXPECT_FALSE(comm.TakeBackReply());
    if (!c.replies)
        return;
    // The reply's own answer is cut at the length given with it.
    ASSERT_TRUE(pty.Write("ABCDEF"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received() == std::string(c.rx) + "ABCDEF"; }));
    EXPECT_EQ(recorder.blocks, (std::vector<std::string>{c.rx, "ABCD", "EF"}));
}

INSTANTIATE_TEST_SUITE_P(Table, CommReplyTest,
                         testing::Values(ReplyCase{"Answer", 1, false, "\x06", true},
                                         ReplyCase{"OtherByte", 1, false, "\x15", false},
                                         ReplyCase{"AnswerWithMoreBytes", 1, false,
                                                   "\x06"
                                                   "BC",
                                                   false},
                                         ReplyCase{"CutBySilence", 0, false, "\x06", false},
                                         ReplyCase{"TakenBack", 1, true, "\x06", false}),
                         [](const testing::TestParamInfo<ReplyCase> &info) {
                             return info.param.name;
                         });

// A silence before the length is reached ends the block and uses the length up; closing the
// port takes it back.
TEST_F(CommReceiveTest, SilenceOrAReopenUsesAnExpectedLengthUp)
{
    comm.SetReadIntervalTimeout(10);
    comm.OpenPort();
    comm.SetNextBlockLength(4);
    ASSERT_TRUE(pty.Write("\x06"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }));
    ASSERT_TRUE(pty.Write("ABCDEF"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().size() == 7; }));
    comm.SetNextBlockLength(1);
    comm.ClosePort();
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("XYZ"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().size() == 10; }));
    EXPECT_EQ(recorder.blocks, (std::vector<std::string>{"\x06", "ABCDEF", "XYZ"}));
}

TEST_F(CommReceiveTest, AHandlerMayReplaceItselfWhileItRuns)
{
    comm.SetReadIntervalTimeout(5);
    std::string second;
    int firstCalls = 0;
    comm.OnReceiveData = [&](TComm &sender, const std::uint8_t *, std::uint16_t) {
        ++firstCalls;
        // Destroys the running handler's own function object unless the component copied it.
        sender.OnReceiveData = [&](TComm &, const std::uint8_t *b, std::uint16_t n) {
            second.append(reinterpret_cast<const char *>(b), n);
        };
    };
    comm.OpenPort();
    ASSERT_TRUE(pty.Write(Pattern(9000)));
    ASSERT_TRUE(WaitFor([&] { return firstCalls == 1; }));
    ASSERT_TRUE(pty.Write("late"));
    ASSERT_TRUE(WaitFor([&] { return second.size() >= 4 && second.ends_with("late"); }));
    EXPECT_EQ(firstCalls, 1);
}

TEST_F(CommReceiveTest, MasterClosedWhileABlockFillsIsOneHangup)
{
    comm.SetReadIntervalTimeout(5000);
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("partial"));
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return recorder.hangups > 0; }));
    // The writer notices too and the component says so; the owner hears it once, after the
    // last bytes.
    ASSERT_TRUE(WaitFor([&] { return !comm.WriteData("x", 1); }));
    for (const auto &block : recorder.blocks)
        EXPECT_EQ(block, "partial");
    std::vector<std::string> reception;
    for (const auto &event : recorder.events) {
        if (event != "empty")
            reception.push_back(event);
    }
    EXPECT_EQ(reception.back(), "hangup");
    comm.ClosePort();
    EXPECT_FALSE(comm.IsOpen());
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.hangups, 1);
}

TEST_F(CommReceiveTest, MasterClosedWhileWritingIsAHangup)
{
    comm.OpenPort();
    const std::string big = Pattern(65535, 9);
    ASSERT_TRUE(comm.WriteData(big.data(), 65535));
    ASSERT_TRUE(pty.WaitReadable()); // the write has begun and cannot finish unread
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return recorder.hangups > 0; }));
    ASSERT_TRUE(WaitFor([&] { return !comm.WriteData("x", 1); }));
    comm.ClosePort();
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommReceiveTest, AWriteTimeOutGivesUpTheRequestAsAHangup)
{
    comm.SetWriteTotalTimeoutConstant(50);
    comm.OpenPort();
    const std::string big = Pattern(65535, 11);
    ASSERT_TRUE(comm.WriteData(big.data(), 65535)); // nobody reads the master
    ASSERT_TRUE(WaitFor([&] { return recorder.hangups == 1; }));
    EXPECT_FALSE(comm.WriteData("x", 1));
    comm.ClosePort();
}

TEST_F(CommReceiveTest, ATotalReadTimeOutCutsABlockBeforeTheLineFallsSilent)
{
    comm.SetReadIntervalTimeout(60000);
    comm.SetReadTotalTimeoutConstant(30);
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("abc"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }, 20000));
    EXPECT_EQ(recorder.blocks[0], "abc");
}

TEST_F(CommReceiveTest, AHandlerMayCloseAndReopenThePort)
{
    comm.SetReadIntervalTimeout(10);
    int calls = 0;
    comm.OnReceiveData = [&](TComm &sender, const std::uint8_t *, std::uint16_t) {
        ++calls;
        sender.ClosePort();
        if (calls == 1)
            sender.OpenPort();
    };
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("one"));
    ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
    EXPECT_TRUE(comm.IsOpen());
    ASSERT_TRUE(pty.Write("two"));
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }));
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommReceiveTest, DestroyingTheComponentDropsItsPendingNotifications)
{
    auto owned = std::make_unique<TComm>();
    owned->SetCommName(pty.SlavePath());
    owned->SetReadIntervalTimeout(1);
    int seen = 0;
    owned->OnReceiveData = [&](TComm &, const std::uint8_t *, std::uint16_t) {
        ++seen;
    };
    owned->OnSendDataEmpty = [&](TComm &) {
        ++seen;
    };
    owned->OpenPort();
    ASSERT_TRUE(owned->WriteData("ping", 4));
    EXPECT_EQ(pty.Read(4), "ping");
    ASSERT_TRUE(pty.Write(Pattern(5000)));
    owned.reset(); // closes first; whatever was posted must not reach freed memory
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(seen, 0);
}

TEST_F(CommReceiveTest, AHandlerMayDestroyTheComponent)
{
    auto owned = std::make_unique<TComm>();
    owned->SetCommName(pty.SlavePath());
    owned->SetReadIntervalTimeout(1);
    bool destroyed = false;
    owned->OnReceiveData = [&](TComm &, const std::uint8_t *, std::uint16_t) {
        owned.reset();
        destroyed = true;
    };
    owned->OpenPort();
    ASSERT_TRUE(pty.Write("bye"));
    ASSERT_TRUE(WaitFor([&] { return destroyed; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Counters a test moves by hand, and a modem wait it releases through an eventfd.
class FakeLineDriver final : public ICommLineDriver
{
public:
    FakeLineDriver()
        : m_modemFd(eventfd(0, EFD_CLOEXEC))
    {}
    ~FakeLineDriver() override { ::close(m_modemFd); }

    bool ReadCounters(int, TCommLineCounters &counters) override
    {
        counters.frame = frame.load();
        counters.parity = parity.load();
        counters.overrun = overrun.load();
        counters.brk = brk.load();
        counters.dcd = dcd.load();
        counters.rng = rng.load();
        {
            std::lock_guard lock(m_mutex);
            m_frameSeen = counters.frame;
        }
        m_waiting.notify_all();
        return true;
    }

    int WaitModemChange(int) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_waits;
        }
        m_waiting.notify_all();
        pollfd fd{m_modemFd, POLLIN, 0};
        if (poll(&fd, 1, -1) < 0)
            return errno == EINTR ? 0 : -1;
        std::uint64_t count = 0;
        (void)::read(m_modemFd, &count, sizeof count);
        return 1;
    }

    void ModemChanged()
    {
        const std::uint64_t one = 1;
        (void)::write(m_modemFd, &one, sizeof one);
    }

    std::atomic<std::uint32_t> frame{0}, parity{0}, overrun{0}, brk{0}, dcd{0}, rng{0};
    // Until the reader has taken counters showing n frame errors (it posts them right after).
    bool WaitForFrameSeen(std::uint32_t n)
    {
        std::unique_lock lock(m_mutex);
        return m_waiting.wait_for(lock, std::chrono::seconds(10), [&] { return m_frameSeen >= n; });
    }
    // Until the watcher has entered its wait for the n-th time.
    bool WaitForWaits(int n)
    {
        std::unique_lock lock(m_mutex);
        return m_waiting.wait_for(lock, std::chrono::seconds(10), [&] { return m_waits >= n; });
    }

private:
    int m_modemFd;
    std::mutex m_mutex;
    std::condition_variable m_waiting;
    int m_waits = 0;
    std::uint32_t m_frameSeen = 0;
};

TEST_F(CommReceiveTest, LineErrorsArriveBeforeTheirBytesAndReceptionGoesOn)
{
    auto driver = std::make_shared<FakeLineDriver>();
    comm.SetLineDriver(driver);
    comm.SetReadIntervalTimeout(10);
    comm.OpenPort();
    // A first block shows the reader has taken its starting counters.
    ASSERT_TRUE(pty.Write("ready"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }));
    driver->frame += 1;
    driver->overrun += 2;
    ASSERT_TRUE(pty.Write("garbled"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 2; }));
    ASSERT_TRUE(pty.Write("clean"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 3; }));
    ASSERT_EQ(recorder.errors.size(), 1u);
    EXPECT_EQ(recorder.errors[0], kCommErrorFrame | kCommErrorOverrun);
    const std::vector<std::string> expected{"data", "error", "data", "data"};
    std::vector<std::string> got;
    for (const auto &event : recorder.events) {
        if (event != "empty")
            got.push_back(event);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(CommReceiveTest, AnErrorHandlerMayReopenThePortAsThePortControlDoes)
{
    auto driver = std::make_shared<FakeLineDriver>();
    comm.SetLineDriver(driver);
    comm.SetReadIntervalTimeout(10);
    int reopened = 0;
    comm.OnReceiveError = [&](TComm &sender, std::uint32_t) {
        ++reopened;
        sender.ClosePort();
        sender.OpenPort();
    };
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("ready"));
    ASSERT_TRUE(WaitFor([&] { return !recorder.blocks.empty(); }));
    driver->parity += 1;
    ASSERT_TRUE(pty.Write("bad"));
    ASSERT_TRUE(WaitFor([&] { return reopened == 1 && recorder.blocks.size() == 2; }));
    ASSERT_TRUE(pty.Write("good"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().find("good") != std::string::npos; }));
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommReceiveTest, AReportOfAClosedSessionNeverReachesTheNextOne)
{
    auto driver = std::make_shared<FakeLineDriver>();
    comm.SetLineDriver(driver);
    comm.SetReadIntervalTimeout(10);
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("ready"));
    ASSERT_TRUE(WaitFor([&] { return recorder.blocks.size() == 1; }));
    // An error and its block are posted; the port is closed and opened again before the
    // window thread gets to them (closing joins the reader, so both are queued by then).
    driver->frame += 1;
    ASSERT_TRUE(pty.Write("garbled"));
    ASSERT_TRUE(driver->WaitForFrameSeen(1));
    comm.ClosePort();
    comm.OpenPort();
    ASSERT_TRUE(pty.Write("fresh"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received().find("fresh") != std::string::npos; }));
    EXPECT_TRUE(recorder.errors.empty()) << "a stale line error would reopen the new session";
    EXPECT_EQ(recorder.Received(), "readygarbledfresh") << "bytes that arrived are kept";
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(CommReceiveTest, ModemEventsArriveAndCloseEndsTheBlockedWatcher)
{
    auto driver = std::make_shared<FakeLineDriver>();
    comm.SetLineDriver(driver);
    comm.OpenPort();
    ASSERT_TRUE(driver->WaitForWaits(1));
    driver->dcd += 1;
    driver->ModemChanged();
    ASSERT_TRUE(WaitFor([&] { return recorder.modemEvents.size() == 1; }));
    driver->dcd += 1;
    driver->rng += 1;
    driver->ModemChanged();
    ASSERT_TRUE(WaitFor([&] { return recorder.modemEvents.size() == 2; }));
    EXPECT_EQ(recorder.modemEvents[0], kModemEventCarrier);
    EXPECT_EQ(recorder.modemEvents[1], kModemEventCarrier | kModemEventRing);
    // The watcher is now blocked in the driver's wait again; ClosePort must still return.
    ASSERT_TRUE(driver->WaitForWaits(3));
    comm.ClosePort();
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(CommReceiveTest, IgnoredNullBytesNeverReachTheOwner)
{
    comm.SetIgnoreNullChar(true);
    comm.SetReadIntervalTimeout(10);
    comm.OpenPort();
    ASSERT_TRUE(pty.Write(std::string("a\0b\0\0c", 6)));
    ASSERT_TRUE(WaitFor([&] { return !recorder.blocks.empty(); }));
    EXPECT_EQ(recorder.blocks[0], "abc");
}

} // namespace
} // namespace m845
