// Opening, closing, writing and line settings of TComm over pseudo-terminals.

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/comm.h"
#include "serial/comm_termios.h"
#include "comm_recorder.h"
#include "pty_pair.h"

namespace m845 {
namespace {

using test::CommRecorder;
using test::Pattern;
using test::PtyPair;
using test::WaitFor;

class CommTest : public test::CommOnPtyTest
{
protected:
    void SetUp() override
    {
        CommOnPtyTest::SetUp();
        comm.SetReadIntervalTimeout(20);
    }

    std::string OpenError(TComm &port)
    {
        try {
            port.OpenPort();
        } catch (const ECommsError &error) {
            return error.what();
        }
        return {};
    }
};

struct BadPortCase
{
    const char *name;
    const char *message;
    int error;
};

class CommBadPortTest : public testing::TestWithParam<BadPortCase>
{
};

TEST_P(CommBadPortTest, FailsWithItsMessageAndStaysClosed)
{
    TComm port;
    port.SetCommName(GetParam().name);
    try {
        port.OpenPort();
        FAIL() << "opened " << GetParam().name;
    } catch (const ECommsError &error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
    EXPECT_EQ(port.LastOpenError(), GetParam().error);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ComHandle(), -1);
    EXPECT_FALSE(port.WriteData("x", 1));
}

INSTANTIATE_TEST_SUITE_P(
    Names, CommBadPortTest,
    testing::Values(BadPortCase{"", "Error opening serial port", ENOENT},
                    BadPortCase{"ttyM845NoSuchPort", "Error opening serial port", ENOENT},
                    BadPortCase{"/dev/m845/none", "Error opening serial port", ENOENT},
                    // A device that is no terminal is refused like a driver refusing its queues.
                    BadPortCase{"/dev/null", "Cannot setup comm buffer", ENOTTY}));

TEST(CommNameTest, PlainNameIsUnderDevAndPathIsKept)
{
    EXPECT_EQ(TComm::DevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TComm::DevicePath("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(TComm::DevicePath("/dev/serial/by-id/usb-FTDI-if00"),
              "/dev/serial/by-id/usb-FTDI-if00");
}

TEST_F(CommTest, SecondOpenOfTheSameLineIsRefusedAlsoThroughALink)
{
    comm.OpenPort();
    TComm second;
    second.SetCommName(pty.SlavePath());
    EXPECT_EQ(OpenError(second), "Error opening serial port");
    EXPECT_TRUE(second.LastOpenError() == EWOULDBLOCK || second.LastOpenError() == EBUSY);

    const auto link
        = std::filesystem::temp_directory_path() / ("m845-comm-link-" + std::to_string(getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.SlavePath(), link);
    TComm third;
    third.SetCommName(link.string());
    EXPECT_EQ(OpenError(third), "Error opening serial port");
    std::filesystem::remove(link);

    // The first holder is untouched and the line is free again once it closes.
    ASSERT_TRUE(comm.WriteData("ok", 2));
    EXPECT_EQ(pty.Read(2), "ok");
    comm.ClosePort();
    EXPECT_EQ(OpenError(second), "");
    EXPECT_EQ(second.LastOpenError(), 0);
}

TEST_F(CommTest, OpenWhileOpenIsRefusedAndThePortKeepsWorking)
{
    comm.OpenPort();
    const int handle = comm.ComHandle();
    EXPECT_EQ(OpenError(comm), "This serial port already opened");
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_EQ(comm.ComHandle(), handle);
    ASSERT_TRUE(pty.Write("still here"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Received() == "still here"; }));
}

TEST_F(CommTest, CloseAndReopenGiveAWorkingPort)
{
    comm.ClosePort(); // closed: nothing happens
    for (int round = 0; round < 3; ++round) {
        comm.OpenPort();
        const std::string text = "round " + std::to_string(round);
        ASSERT_TRUE(comm.WriteData(text.data(), static_cast<std::uint16_t>(text.size())));
        EXPECT_EQ(pty.Read(text.size()), text);
        ASSERT_TRUE(pty.Write(text));
        ASSERT_TRUE(
            WaitFor([&] { return !recorder.blocks.empty() && recorder.blocks.back() == text; }));
        comm.ClosePort();
        EXPECT_FALSE(comm.IsOpen());
        comm.ClosePort();
    }
}

TEST_F(CommTest, WriteDataRefusesAClosedPortAndAnEmptyRequest)
{
    EXPECT_FALSE(comm.WriteData("abc", 3));
    comm.OpenPort();
    EXPECT_FALSE(comm.WriteData("abc", 0));
    EXPECT_FALSE(comm.WriteData(nullptr, 3));
    // Nothing was queued by the refused calls: the next byte is the first on the line.
    ASSERT_TRUE(comm.WriteData("Z", 1));
    EXPECT_EQ(pty.Read(1), "Z");
    EXPECT_FALSE(pty.WaitReadable(50));
}

TEST_F(CommTest, WritesLeaveInCallOrderAndDrainingIsReported)
{
    comm.OpenPort();
    std::string expected;
    for (std::uint32_t call = 0; call < 400; ++call) {
        const std::string piece = Pattern(1 + call % 257, call);
        expected += piece;
        ASSERT_TRUE(comm.WriteData(piece.data(), static_cast<std::uint16_t>(piece.size())));
    }
    // The caller's buffer was copied: the request does not depend on it afterwards.
    std::string scratch = "tail";
    ASSERT_TRUE(comm.WriteData(scratch.data(), 4));
    scratch = "XXXX";
    expected += "tail";
    EXPECT_EQ(pty.Read(expected.size()), expected);
    const int emptyBefore = recorder.sendEmpty;
    ASSERT_TRUE(WaitFor([&] { return recorder.sendEmpty > emptyBefore; }));
}

TEST_F(CommTest, ALargeRequestWaitsForRoomOnTheLine)
{
    comm.OpenPort();
    // Far more than the pty holds: the transmit thread must wait for the reader, not drop.
    const std::string big = Pattern(65535, 7);
    ASSERT_TRUE(comm.WriteData(big.data(), 65535));
    ASSERT_TRUE(comm.WriteData("!", 1));
    EXPECT_EQ(pty.Read(big.size() + 1), big + "!");
}

TEST_F(CommTest, LineSettingsChangeWhileOpenAndParityWaits)
{
    comm.SetBaudRate(9600);
    comm.OpenPort();
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    comm.SetBaudRate(115200);
    ASSERT_EQ(tcgetattr(pty.Slave(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), B115200);

    comm.SetStopBits(TStopBits::_2);
    ASSERT_EQ(tcgetattr(pty.Slave(), &tio), 0);
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    // Parity is stored only; the port stays usable (a pty cannot show parity itself).
    comm.SetParity(TParity::Even);
    EXPECT_EQ(comm.Parity(), TParity::Even);
    ASSERT_TRUE(comm.WriteData("p", 1));
    EXPECT_EQ(pty.Read(1), "p");
}

class CommBaudTest : public CommTest, public testing::WithParamInterface<std::uint32_t>
{
};

TEST_P(CommBaudTest, EveryRateOfTheListsReachesTheDriver)
{
    comm.OpenPort();
    comm.SetBaudRate(GetParam());
    EXPECT_EQ(detail::CommLineBaudRate(pty.Slave()), GetParam());
    comm.ClosePort();
    comm.OpenPort(); // and an open applies it too
    EXPECT_EQ(detail::CommLineBaudRate(pty.Slave()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(ToolBarRates, CommBaudTest,
                         testing::Values(1200u, 2400u, 4800u, 14400u, 19200u, 28800u, 33600u,
                                         38400u, 57600u, 115200u, 230400u, 460800u, 921600u));

TEST_F(CommTest, DefaultsAreThoseOfTheComponent)
{
    TComm fresh;
    EXPECT_EQ(fresh.CommName(), "COM2");
    EXPECT_EQ(fresh.BaudRate(), 9600u);
    EXPECT_TRUE(fresh.Outx_CtsFlow());
    EXPECT_EQ(fresh.ReadIntervalTimeout(), 10u);
    EXPECT_EQ(fresh.ByteSize(), TByteSize::_8);
    EXPECT_EQ(fresh.XonChar(), 17);
    EXPECT_EQ(fresh.XoffChar(), 19);
    EXPECT_EQ(fresh.ComHandle(), -1);
}

} // namespace
} // namespace m845
