// Power by hand: a bench where the line stays and devices are switched on, off and swapped.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "devsim/simcontrol.h"
#include "devsim/simserver.h"
#include "devsim_testutil.h"

namespace m845::devsim {
namespace {

using std::chrono::milliseconds;

TEST(SimPower, SilentUntilSwitchedOnForgetsAllWhenOffAndComesBackAsAnother)
{
    SimOptions options;
    options.startPoweredOff = true;
    SimServer sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    test::PtyPeer peer(sim.SlavePath());
    ASSERT_TRUE(peer.IsOpen());
    // Opening the line powers nothing; "+++" goes unheard.
    ASSERT_TRUE(peer.Write("+++"));
    EXPECT_FALSE(peer.ReadBurst(milliseconds(300)).has_value());
    EXPECT_EQ(sim.Mode(), DeviceMode::PoweredOff);

    sim.PowerOn();
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "\r\n[ZLM-M845]\r\n");
    ASSERT_TRUE(peer.Write("+++"));
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "a");
    ASSERT_TRUE(peer.Write("a"));
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "+ok\r\n");

    // Off in the middle of command mode, on again as another device: a fresh start.
    sim.PowerOff();
    ASSERT_TRUE(sim.WaitForMode(DeviceMode::PoweredOff, milliseconds(3000)));
    ApplyControlLine(sim, "set IMEI=358000000000001", error);
    sim.PowerOn();
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "\r\n[ZLM-M845]\r\n");
    ASSERT_TRUE(peer.Write("AT+IMEI?\r\n"));
    // Data transfer again: the line is echoed, not answered.
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "AT+IMEI?\r\n");
    EXPECT_EQ(sim.Param("IMEI"), "358000000000001");
}

TEST(SimPower, ControlLines)
{
    const struct
    {
        const char *line;
        SimControl::Kind kind;
        const char *name;
        const char *value;
    } cases[] = {
        {"on", SimControl::Kind::PowerOn, "", ""},
        {"  off\r", SimControl::Kind::PowerOff, "", ""},
        {"set IMEI=358000000000001", SimControl::Kind::Set, "IMEI", "358000000000001"},
        {"set STMSG= [A=B] ", SimControl::Kind::Set, "STMSG", " [A=B]"},
        {"", SimControl::Kind::None, "", ""},
        {"set =x", SimControl::Kind::Bad, "", "x"},
        {"reboot", SimControl::Kind::Bad, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        const SimControl control = ParseControlLine(c.line);
        EXPECT_EQ(control.kind, c.kind);
        if (c.kind == SimControl::Kind::Set) {
            EXPECT_EQ(control.name, c.name);
            EXPECT_EQ(control.value, c.value);
        }
    }
}

} // namespace
} // namespace m845::devsim
