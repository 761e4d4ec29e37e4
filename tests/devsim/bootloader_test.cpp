// The boot loader's dialogue and its XModem receiver, without a line.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "devsim/devicemodel.h"
#include "devsim/xmodemreceiver.h"
#include "devsim_testutil.h"

namespace m845::devsim {
namespace {

using std::chrono::milliseconds;
using test::Joined;
using test::T0;

TEST(XmodemCrc, TestSendersChecksumMatchesTheKnownCheckValue)
{
    // CRC-16/XMODEM of "123456789": the blocks below are built with an independent CRC.
    EXPECT_EQ(test::Crc("123456789"), 0x31C3);
}

TEST(XmodemReceiverTest, AcceptsGoodBlocksAndRefusesDamagedOnes)
{
    XmodemReceiver rx;
    std::vector<std::string> replies;
    const std::string data1(128, 'A');
    const std::string data2(128, 'B');
    rx.Receive(test::MakeBlock(1, data1), replies);
    std::string bad = test::MakeBlock(2, data2);
    bad[50] ^= 0x01; // a flipped bit in the data
    rx.Receive(bad, replies);
    std::string badComplement = test::MakeBlock(2, data2);
    badComplement[2] = 0x00;
    rx.Receive(badComplement, replies);
    rx.Receive(test::MakeBlock(3, data2), replies); // out of sequence
    rx.Receive(test::MakeBlock(1, data1), replies); // repeat of an acknowledged block
    rx.Receive(test::MakeBlock(2, data2), replies);
    rx.Receive(std::string(1, kEot), replies);
    EXPECT_EQ(replies, (std::vector<std::string>{"\x06", "\x15", "\x15", "\x15", "\x06", "\x06",
                                                 "\x06\r\n>"}));
    EXPECT_TRUE(rx.Finished());
    EXPECT_EQ(rx.Image(), data1 + data2);
}

TEST(XmodemReceiverTest, BlocksMayArriveInPiecesAndAPartialOneIsPurged)
{
    XmodemReceiver rx;
    std::vector<std::string> replies;
    const std::string block = test::MakeBlock(1, std::string(128, 'x'));
    rx.Receive(block.substr(0, 60), replies);
    EXPECT_TRUE(rx.HasPartial());
    rx.Purge(replies);
    EXPECT_EQ(replies, std::vector<std::string>{"\x15"});
    rx.Receive(block.substr(0, 100), replies);
    rx.Receive(block.substr(100), replies);
    EXPECT_EQ(replies.back(), "\x06");
    EXPECT_EQ(rx.BlocksAccepted(), 1);
}

TEST(XmodemReceiverTest, NakEveryRefusesEachNthBlockOnce)
{
    XmodemReceiver rx(2);
    std::vector<std::string> replies;
    for (int n = 1; n <= 4; ++n) {
        const std::string block = test::MakeBlock(static_cast<std::uint8_t>(n),
                                                  std::string(128, static_cast<char>('a' + n)));
        rx.Receive(block, replies);
        if (replies.back() == "\x15") {
            rx.Receive(block, replies);
        }
    }
    EXPECT_EQ(replies, (std::vector<std::string>{"\x06", "\x15", "\x06", "\x06", "\x15", "\x06"}));
    EXPECT_EQ(rx.BlocksAccepted(), 4);
    EXPECT_EQ(rx.NaksSent(), 2);
}

TEST(XmodemReceiverTest, BlockNumberWrapsAfter255)
{
    XmodemReceiver rx;
    std::vector<std::string> replies;
    for (int n = 1; n <= 257; ++n) {
        rx.Receive(test::MakeBlock(static_cast<std::uint8_t>(n & 0xFF), std::string(128, 'z')),
                   replies);
    }
    EXPECT_EQ(rx.BlocksAccepted(), 257);
    EXPECT_EQ(rx.NaksSent(), 0);
}

TEST(BootLoader, MenuConfirmationStartRequestsTransferAndRestart)
{
    ModelOptions options;
    options.boot = true;
    DeviceModel model(options);
    EXPECT_EQ(Joined(model.PowerOn(T0)),
              "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>");
    EXPECT_EQ(Joined(model.Receive("F", T0 + milliseconds(100))),
              "F\r\nSure to update, 'Y' or 'N'\r\n>");
    EXPECT_EQ(Joined(model.Receive("Y", T0 + milliseconds(200))), "Y\r\n");
    EXPECT_EQ(model.NextDeadline(), T0 + milliseconds(1200));
    EXPECT_TRUE(model.Tick(T0 + milliseconds(1199)).empty());
    // Requests keep coming about once a second until a block arrives.
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(1200))), "C");
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(3250))), "CC");

    const std::string image = test::Padded(std::string(300, 'q'));
    const auto blocks = test::Blocks(std::string(300, 'q'));
    TimePoint t = T0 + milliseconds(3300);
    for (const std::string &block : blocks) {
        t += milliseconds(10);
        EXPECT_EQ(Joined(model.Receive(block, t)), "\x06");
    }
    EXPECT_EQ(model.Mode(), DeviceMode::XmodemReceiving);
    EXPECT_TRUE(model.Tick(t + milliseconds(5000)).empty()); // no more "C"
    const auto final = model.Receive(std::string(1, kEot), t + milliseconds(5010));
    ASSERT_EQ(final.size(), 1U);
    EXPECT_EQ(final[0].bytes, "\x06\r\n>");
    EXPECT_EQ(model.Firmware(), image);
    EXPECT_EQ(model.Mode(), DeviceMode::BootMenu);

    EXPECT_EQ(Joined(model.Receive("R", t + milliseconds(5100))), "R\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Restarting);
    // --boot holds the button for the first start only.
    EXPECT_EQ(Joined(model.Tick(t + milliseconds(5600))), "\r\n[ZLM-M845]\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
}

TEST(BootLoader, ReloadHeldReturnsToTheMenuAfterEveryRestart)
{
    ModelOptions options;
    options.reloadHeld = true;
    DeviceModel model(options);
    (void)model.PowerOn(T0);
    EXPECT_EQ(Joined(model.Receive("R", T0 + milliseconds(100))), "R\r\n");
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(600))), std::string(kBootMenu));
    // "G" runs the application even with the button held.
    EXPECT_EQ(Joined(model.Receive("G", T0 + milliseconds(700))), "G\r\n");
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(1200))), "\r\n[ZLM-M845]\r\n");
}

TEST(BootLoader, NoAndStrayKeysShowTheMenuAgainAndEmptyImageIsAccepted)
{
    ModelOptions options;
    options.boot = true;
    DeviceModel model(options);
    (void)model.PowerOn(T0);
    // Every key counts on its own: stray ones bring the menu back, once per burst.
    EXPECT_EQ(Joined(model.Receive("x?\r\n", T0 + milliseconds(50))), std::string(kBootMenu));
    (void)model.Receive("F", T0 + milliseconds(100));
    EXPECT_EQ(Joined(model.Receive("N", T0 + milliseconds(200))), "N\r\n" + std::string(kBootMenu));
    (void)model.Receive("F", T0 + milliseconds(300));
    (void)model.Receive("Y", T0 + milliseconds(400));
    (void)model.Tick(T0 + milliseconds(1400));
    // An empty file is the end byte alone.
    EXPECT_EQ(Joined(model.Receive(std::string(1, kEot), T0 + milliseconds(1500))), "\x06\r\n>");
    EXPECT_EQ(model.FirmwareImages(), 1);
    EXPECT_TRUE(model.Firmware().empty());
}

TEST(BootLoader, ACommandLineTypedIntoTheMenuRestartsAtItsR)
{
    ModelOptions options;
    options.boot = true;
    DeviceModel model(options);
    (void)model.PowerOn(T0);
    EXPECT_EQ(Joined(model.Receive("AT+VER?\r\n", T0 + milliseconds(50))), "R\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Restarting);
}

TEST(BootLoader, AnUnfinishedBlockIsRefusedAfterASecondOfSilence)
{
    ModelOptions options;
    options.boot = true;
    DeviceModel model(options);
    (void)model.PowerOn(T0);
    (void)model.Receive("F", T0);
    (void)model.Receive("Y", T0);
    const std::string block = test::MakeBlock(1, std::string(128, 'k'));
    EXPECT_TRUE(model.Receive(block.substr(0, 70), T0 + milliseconds(500)).empty());
    EXPECT_TRUE(model.Tick(T0 + milliseconds(1499)).empty());
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(1500))), "\x15");
    EXPECT_EQ(Joined(model.Receive(block, T0 + milliseconds(1600))), "\x06");
}

} // namespace
} // namespace m845::devsim
