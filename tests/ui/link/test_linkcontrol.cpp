#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/timer.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "serial/pty_pair.h"
#include "ui/link/linkcontrol.h"

namespace m845 {
namespace {

using test::PtyPair;
using test::WaitFor;

struct FakeSettings final : IPortSettings
{
    std::string port;
    std::string baud = "115200";
    int parity = 0, data = 1, stop = 0;
    std::string PortText() const override { return port; }
    std::string BaudText() const override { return baud; }
    int ParityIndex() const override { return parity; }
    int DataBitsIndex() const override { return data; }
    int StopBitsIndex() const override { return stop; }
};

struct Entry
{
    std::string kind, text;
};

struct RecordingLog final : ILog
{
    std::vector<Entry> entries;
    void LogRx(std::string_view d) override { entries.push_back({"rx", std::string(d)}); }
    void LogRxOther(std::string_view d) override { entries.push_back({"rxother", std::string(d)}); }
    void LogTx(std::string_view d) override { entries.push_back({"tx", std::string(d)}); }
    void LogInfo(std::string_view t) override { entries.push_back({"info", std::string(t)}); }
    void LogWarn(std::string_view t) override { entries.push_back({"warn", std::string(t)}); }
    [[nodiscard]] std::string Received() const
    {
        std::string all;
        for (const Entry &e : entries)
            if (e.kind == "rxother")
                all += e.text;
        return all;
    }
};

struct FakeTimer final : ITimer
{
    int interval = 1000;
    bool active = true;
    void SetInterval(int ms) override { interval = ms; }
    int Interval() const override { return interval; }
    void Start() override { active = true; }
    void Stop() override { active = false; }
    bool IsActive() const override { return active; }
    void SetOnTimeout(std::function<void()>) override {}
};

std::string Key(std::string_view key)
{
    return LangList() != nullptr ? LangText(key) : std::string(key);
}

class LinkControlTest : public testing::Test
{
protected:
    LinkControlTest()
        : link(comm, settings, log, &timer)
    {
        link.CountTx = [this](std::uint32_t n) {
            counted += n;
        };
        link.OnButtonTagChanged = [this](int tag) {
            shownTag = tag;
        };
    }
    // Opens the pty through the button, as the technician does.
    void OpenPty()
    {
        ASSERT_TRUE(pty.Valid());
        settings.port = pty.SlavePath();
        link.btnSysClick();
        ASSERT_TRUE(link.IsPortOpen());
    }

    PtyPair pty;
    TComm comm;
    FakeSettings settings;
    RecordingLog log;
    FakeTimer timer;
    TLinkControl link;
    std::uint32_t counted = 0;
    int shownTag = 0;
};

TEST(ReadInterval, FollowsTheBaudRate)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> table{
        {1200, 200}, {2400, 200}, {4800, 80}, {9600, 60}, {115200, 60}, {460800, 60}, {300, 60}};
    for (const auto &[baud, interval] : table)
        EXPECT_EQ(ReadIntervalForBaud(baud), interval) << baud;
}

TEST_F(LinkControlTest, OpenWithoutPortFailsWithWarningAndReason)
{
    link.btnSysClick();
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(link.ButtonTag(), kBtnTagOpen);
    ASSERT_EQ(log.entries.size(), 2U);
    EXPECT_EQ(log.entries[0].kind, "warn");
    EXPECT_EQ(log.entries[0].text, Key("info_ComOpenNo"));
    EXPECT_EQ(log.entries[1].text, Key("info_ComWhyNoPort"));
}

TEST_F(LinkControlTest, BadBaudTextFailsBeforeTouchingThePort)
{
    settings.port = pty.SlavePath();
    for (const char *baud : {"", "abc", "115200x", "-9600"}) {
        settings.baud = baud;
        log.entries.clear();
        link.btnSysClick();
        EXPECT_FALSE(link.IsPortOpen()) << baud;
        ASSERT_EQ(log.entries.size(), 2U) << baud;
        EXPECT_EQ(log.entries[1].text, Key("info_ComWhyBaud"));
    }
}

TEST_F(LinkControlTest, AbsentDeviceSaysNotFound)
{
    settings.port = "/dev/m845-no-such-port";
    link.btnSysClick();
    EXPECT_FALSE(link.IsPortOpen());
    ASSERT_EQ(log.entries.size(), 2U);
    EXPECT_EQ(log.entries[0].text, Key("info_ComOpenNo"));
    EXPECT_EQ(log.entries[1].text, Key("info_ComWhyNotFound"));
}

TEST_F(LinkControlTest, PortHeldByAnotherProgramSaysInUse)
{
    TComm other;
    other.SetCommName(pty.SlavePath());
    other.OpenPort();
    settings.port = pty.SlavePath();
    link.btnSysClick();
    EXPECT_FALSE(link.IsPortOpen());
    ASSERT_EQ(log.entries.size(), 2U);
    EXPECT_EQ(log.entries[1].text, Key("info_ComWhyBusy"));
}

TEST_F(LinkControlTest, OpenAppliesSettingsAndCloseReturnsTheButton)
{
    settings.baud = "4800";
    settings.parity = 1;
    settings.data = 0;
    settings.stop = 1;
    OpenPty();
    EXPECT_EQ(link.ButtonTag(), kBtnTagClose);
    EXPECT_EQ(shownTag, kBtnTagClose);
    EXPECT_EQ(log.entries.back().text, Key("info_ComOpenYes"));
    EXPECT_EQ(comm.BaudRate(), 4800U);
    EXPECT_TRUE(comm.ParityCheck());
    EXPECT_EQ(comm.Parity(), TParity::Odd);
    EXPECT_EQ(comm.ByteSize(), TByteSize::_7);
    EXPECT_EQ(comm.StopBits(), TStopBits::_2);
    EXPECT_EQ(comm.ReadIntervalTimeout(), 80U);
    EXPECT_EQ(comm.DtrControl(), TDtrControl::DtrDisable);
    EXPECT_EQ(comm.RtsControl(), TRtsControl::RtsDisable);
    EXPECT_FALSE(comm.Outx_CtsFlow());
    EXPECT_EQ(timer.interval, 5000);
    EXPECT_FALSE(timer.active);

    link.btnSysClick();
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(link.ButtonTag(), kBtnTagOpen);
    EXPECT_EQ(log.entries.back().text, Key("info_ComCloseYes"));
}

TEST_F(LinkControlTest, SendsWhileClosedWarnAndSendNothing)
{
    link.SendText("");
    EXPECT_TRUE(log.entries.empty());
    link.SendText("AT+VER?\r\n");
    link.SendData("hello");
    ASSERT_EQ(log.entries.size(), 2U);
    for (const Entry &e : log.entries) {
        EXPECT_EQ(e.kind, "warn");
        EXPECT_EQ(e.text, Key("info_ComNoOpen"));
    }
    EXPECT_TRUE(link.LastSentText().empty());
    EXPECT_EQ(counted, 0U);
}

TEST_F(LinkControlTest, SendTextAndSendDataReachTheLine)
{
    OpenPty();
    log.entries.clear();
    link.SendText("AT+VER?\r\n");
    EXPECT_EQ(pty.Read(9), "AT+VER?\r\n");
    EXPECT_EQ(link.LastSentText(), "AT+VER?\r\n");
    EXPECT_EQ(counted, 0U);
    link.SendData(std::string("a\0b", 3));
    EXPECT_EQ(pty.Read(3), std::string("a\0b", 3));
    EXPECT_EQ(link.LastSentText(), "AT+VER?\r\n");
    EXPECT_EQ(counted, 3U);
    ASSERT_EQ(log.entries.size(), 2U);
    EXPECT_EQ(log.entries[0].kind, "tx");
    EXPECT_EQ(log.entries[1].text, std::string("a\0b", 3));
    link.SendData("");
    EXPECT_EQ(log.entries.size(), 2U);
}

TEST_F(LinkControlTest, SendLongerThanOneWriteRequestArrivesWhole)
{
    OpenPty();
    std::string big(70000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 1000)
        big[i] = static_cast<char>('0' + (i / 1000) % 10);
    link.SendData(big);
    EXPECT_EQ(pty.Read(big.size(), 20000), big);
    EXPECT_EQ(counted, 70000U);
}

TEST_F(LinkControlTest, ReceivedBlocksGoToTheDispatcher)
{
    OpenPty();
    ASSERT_TRUE(pty.Write("+VER:V1.0.5\r\n"));
    ASSERT_TRUE(WaitFor([&] { return log.Received() == "+VER:V1.0.5\r\n"; }));

    std::string seen;
    link.DispatchReceived = [&](const std::uint8_t *b, std::uint16_t n) {
        seen.append(reinterpret_cast<const char *>(b), n);
    };
    ASSERT_TRUE(pty.Write("OK\r\n"));
    ASSERT_TRUE(WaitFor([&] { return seen == "OK\r\n"; }));
}

TEST_F(LinkControlTest, LineErrorsReopenWithOneWarningPerOpening)
{
    OpenPty();
    log.entries.clear();
    link.cm1ReceiveError(kCommErrorFrame);
    link.cm1ReceiveError(kCommErrorParity);
    EXPECT_TRUE(link.IsPortOpen());
    EXPECT_TRUE(comm.IsOpen());
    ASSERT_EQ(log.entries.size(), 1U);
    EXPECT_EQ(log.entries[0].kind, "warn");
    EXPECT_EQ(log.entries[0].text, LangText("info_LineErrors"));
    EXPECT_EQ(link.ButtonTag(), kBtnTagClose);
    link.SendText("AT\r\n");
    EXPECT_EQ(pty.Read(4), "AT\r\n");
}

TEST_F(LinkControlTest, ALineErrorReportedAfterCloseLeavesThePortClosed)
{
    OpenPty();
    link.btnSysClick();
    ASSERT_FALSE(comm.IsOpen());
    link.cm1ReceiveError(kCommErrorFrame);
    EXPECT_FALSE(comm.IsOpen()) << "the lock must not be taken again behind the user's back";
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(link.ButtonTag(), kBtnTagOpen);
}

TEST_F(LinkControlTest, AFileThatIsNoSerialPortSaysSo)
{
    const std::string path = ::testing::TempDir() + "m845-not-a-port.txt";
    {
        std::ofstream(path) << "plain file";
    }
    settings.port = path;
    link.btnSysClick();
    EXPECT_FALSE(link.IsPortOpen());
    ASSERT_EQ(log.entries.size(), 2U);
    EXPECT_EQ(log.entries[1].text, Key("info_ComWhyNotTty"));
    std::remove(path.c_str());
}

TEST_F(LinkControlTest, PulledAdapterClosesTheLinkAndAllowsReopen)
{
    OpenPty();
    log.entries.clear();
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return !link.IsPortOpen(); }));
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_EQ(link.ButtonTag(), kBtnTagOpen);
    EXPECT_EQ(shownTag, kBtnTagOpen);
    ASSERT_FALSE(log.entries.empty());
    EXPECT_EQ(log.entries.back().text, Key("info_ComLost"));

    // The adapter is back (as a new pty): the same button opens it again.
    PtyPair again;
    settings.port = again.SlavePath();
    link.btnSysClick();
    EXPECT_TRUE(link.IsPortOpen());
    link.SendText("AT\r\n");
    EXPECT_EQ(again.Read(4), "AT\r\n");
}

} // namespace
} // namespace m845
