// The firmware upgrade driven by hand: received blocks, timer ticks and a set clock, with real
// files in a scratch folder. Texts are their keys (no language list is loaded).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/fake_fwwindow.h"
#include "devsim/devsim_testutil.h"
#include "firmware/firmwareupgrade.h"
#include "fw_fakes.h"
#include "fw_testdata.h"
#include "protocol/fakes.h"

namespace m845::test {
namespace {

namespace fs = std::filesystem;
using devsim::test::Blocks;
using State = TXmodemState;

const std::string kMenu(kBootMenu);
const std::string kConfirm(kBootConfirm);

class FirmwareTest : public testing::Test
{
protected:
    FirmwareTest()
    {
        fw.SetClock([this] { return now; });
        fs::create_directories(dir);
    }
    ~FirmwareTest() override { fs::remove_all(dir); }

    std::string Write(const std::string &content, const char *name = "fw.bin") const
    {
        std::ofstream((dir / name).string(), std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return (dir / name).string();
    }
    void Choose(const std::string &path)
    {
        window.answer = path;
        fw.ChooseFirmwareFile();
    }
    void Boot()
    {
        for (const std::string &rx : {kMenu, kConfirm, std::string("Y\r\n")})
            ASSERT_TRUE(fw.TakeBlock(rx));
    }

    fs::path dir = fs::path(testing::TempDir())
                   / ("m845-fw-" + std::to_string(::getpid()) + "-"
                      + testing::UnitTest::GetInstance()->current_test_info()->name());
    TFakeLog log;
    TFwFakeLink link;
    TFakeTimer timer;
    TFakeProgress progress;
    TFakeFirmwareWindow window;
    std::int64_t now = 0;
    TFirmwareUpgrade fw{link, link, log, timer, progress, window};
};

// A run as a script, from a chosen file and an answered boot menu. Device blocks: C (start
// request), A (ACK), N (NAK), X (CAN), r (a lone CR), F (final reply), AA (two bytes), rest (CR LF
// ">"), abcd (four other bytes); t is a tick, +N moves the clock; close/open/refuse act on the
// port, shrink/remove/rewrite on the file, switch chooses another one, norestart unticks the
// restart option, A* answers ACK (ticking where due) up to the end byte. Writes are named b1..
// (blocks of the file), n1.. (of the other file), eot and R.
struct Script
{
    const char *name;
    std::size_t size;
    bool fast;
    const char *steps;
    State state;
    const char *writes;
    const char *warning;
};

void PrintTo(const Script &script, std::ostream *os)
{
    *os << script.name;
}

class ScriptTest : public FirmwareTest, public testing::WithParamInterface<Script>
{
protected:
    void Run(const Script &s);
};

TEST_P(ScriptTest, Runs)
{
    Run(GetParam());
}

// The link sends what an ACK makes due before the upgrade sees the ACK: on the line, in the
// log and in the state nothing may differ.
TEST_P(ScriptTest, RunsAlikeWhenTheLinkReplies)
{
    link.replies = true;
    Run(GetParam());
    if (std::string(GetParam().name) == "FastAckSendsAtOnce") {
        EXPECT_EQ(link.repliesSent, 3);
    }
}

void ScriptTest::Run(const Script &s)
{
    const std::string content = RandomBytes(s.size, 1);
    const std::string other = RandomBytes(300, 2);
    const fs::path path = Write(content);
    fw.SetFastPath(s.fast);
    Choose(path.string());
    Boot();
    std::istringstream steps(s.steps);
    std::int64_t elapsed = 0;
    std::string step;
    while (steps >> step) {
        const std::map<std::string, std::string> blocks = {
            {"C", "C"},         {"A", "\x06"},      {"N", "\x15"},     {"X", "\x18"},   {"r", "\r"},
            {"F", "\x06\r\n>"}, {"AA", "\x06\x06"}, {"rest", "\r\n>"}, {"abcd", "ABCD"}};
        if (blocks.contains(step)) {
            // Waiting for a start request, only the receiver's single bytes are the sender's.
            const bool ours = fw.XmodemState() != State::Waiting || blocks.at(step).size() == 1;
            link.Received(blocks.at(step));
            EXPECT_EQ(fw.TakeBlock(blocks.at(step)), ours) << step;
        } else if (step == "t")
            timer.Fire();
        else if (step[0] == '+')
            elapsed += std::stoll(step), now += std::stoll(step);
        else if (step == "close" || step == "open")
            link.open = step == "open";
        else if (step == "refuse")
            link.writable = false;
        else if (step == "shrink")
            fs::resize_file(path, 100);
        else if (step == "remove")
            fs::remove(path);
        else if (step == "rewrite") {
            const auto stamp = fs::last_write_time(path);
            std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).write("XY", 2);
            fs::last_write_time(path, stamp + std::chrono::seconds(1));
        } else if (step == "switch")
            Choose(Write(other, "other.bin"));
        else if (step == "norestart")
            window.overRestart = false;
        else if (step == "A*") {
            while (fw.XmodemState() == State::Due || fw.XmodemState() == State::BlockSent)
                static_cast<void>(fw.XmodemState() == State::Due
                                      ? timer.Fire()
                                      : (link.Received("\x06"), fw.TakeBlock("\x06")));
        } else
            FAIL() << step;
        // An answer length is expected only while that answer is awaited.
        const std::uint16_t awaited
            = fw.XmodemState() == State::BlockSent || fw.XmodemState() == State::Waiting ? 1
              : fw.XmodemState() == State::EndSent                                       ? 4
                                                                                         : 0;
        EXPECT_TRUE(link.expected == 0 || (s.fast && link.expected == awaited)) << step;
    }
    const bool finished = step == "F" && fw.XmodemState() == State::Idle;
    const std::vector<std::string> mine = Blocks(content), theirs = Blocks(other);
    std::string written;
    for (const std::string &w : link.writes) {
        const auto at = [&](const std::vector<std::string> &v) {
            return std::find(v.begin(), v.end(), w) - v.begin();
        };
        written += written.empty() ? "" : " ";
        written += w == "\x04" ? "eot"
                   : w == "R"  ? "R"
                   : at(mine) < static_cast<long>(mine.size())
                       ? "b" + std::to_string(at(mine) + 1)
                       : "n" + std::to_string(at(theirs) + 1);
    }
    EXPECT_EQ(written, s.writes);
    EXPECT_EQ(fw.XmodemState(), s.state);
    EXPECT_EQ(log.Of(TEntryKind::Warn),
              *s.warning ? std::vector<std::string>{s.warning} : std::vector<std::string>{});
    // The fast path expects one byte after a data block, the final reply after the end byte and
    // nothing after the restart; without it nothing is ever expected.
    for (std::size_t i = 0; i < link.writes.size(); ++i) {
        const std::size_t length = link.writes[i].size();
        const int expected = !s.fast ? 0 : length == 133 ? 1 : link.writes[i] == "R" ? 0 : 4;
        EXPECT_EQ(link.expectedAtWrite[i], expected) << i;
    }
    EXPECT_EQ(timer.IsActive(), !finished);
    if (finished) {
        const std::vector<std::string> infos = log.Of(TEntryKind::Info);
        EXPECT_EQ(std::vector<std::string>(infos.end() - 3, infos.end()),
                  (std::vector<std::string>{"info_FwUpOver",
                                            "info_FwUpTime" + std::to_string(elapsed / 1000),
                                            "-------------------------------"}));
        EXPECT_FALSE(progress.visible);
    }
    EXPECT_EQ(fw.HasFirmwareFile(), !finished && std::string(s.warning) != "info_FwFileChanged");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptTest,
    testing::Values(
        Script{"WaitingIgnoresTickNakAck", 300, false, "t N A", State::Waiting, "", ""},
        Script{"WaitingHandsOnOtherLengths", 300, false, "rest", State::Idle, "", ""},
        Script{"StartThenTickSendsBlock1", 300, false, "C t", State::BlockSent, "b1", ""},
        Script{"DueIgnoresAckAndNak", 300, false, "C A N", State::Due, "", ""},
        Script{"SentIgnoresTickAndFinalReply", 300, false, "C t t F", State::BlockSent, "b1", ""},
        Script{"AckSendsNextAtTheTick", 300, false, "C t A t", State::BlockSent, "b1 b2", ""},
        Script{"NakRepeatsTheBlock", 300, false, "C t A t N t", State::BlockSent, "b1 b2 b2", ""},
        Script{"TwoBytesDrop", 300, false, "C t AA t", State::Idle, "b1", ""},
        Script{"StartRequestRestarts", 300, false, "C t A t C t", State::BlockSent, "b1 b2 b1", ""},
        Script{"RestartForgetsARepeat", 300, false, "C t A t N C t", State::BlockSent, "b1 b2 b1",
               ""},
        Script{"EndByteAfterTheFile", 300, false, "C t A t A t A t", State::EndSent, "b1 b2 b3 eot",
               ""},
        Script{"EndIgnoresAckAndOtherFour", 300, false, "C A* A abcd", State::EndSent,
               "b1 b2 b3 eot", ""},
        Script{"NakRepeatsTheEndByte", 300, false, "C A* N t", State::EndSent, "b1 b2 b3 eot eot",
               ""},
        Script{"EndRestarts", 300, false, "C A* C t", State::BlockSent, "b1 b2 b3 eot b1", ""},
        Script{"SplitFinalReplyDrops", 300, false, "C A* A rest", State::Idle, "b1 b2 b3 eot", ""},
        Script{"FinalReplyFinishes", 300, false, "C A* +59999 F", State::Idle, "b1 b2 b3 eot R",
               ""},
        Script{"NoRestartOption", 300, false, "norestart C A* F", State::Idle, "b1 b2 b3 eot", ""},
        Script{"Size256", 256, false, "C A* F", State::Idle, "b1 b2 eot R", ""},
        Script{"EmptyFile", 0, false, "C t F", State::Idle, "eot R", ""},
        Script{"FastStartSendsAtOnce", 300, true, "C", State::BlockSent, "b1", ""},
        Script{"FastAckSendsAtOnce", 300, true, "C t A A A F", State::Idle, "b1 b2 b3 eot R", ""},
        Script{"FastNakRepeatsAtOnce", 300, true, "C N", State::BlockSent, "b1 b1", ""},
        Script{"FastEndNakRepeatsAtOnce", 300, true, "C A A A N", State::EndSent,
               "b1 b2 b3 eot eot", ""},
        Script{"FastDropForgets", 300, true, "C t AA", State::Idle, "b1", ""},
        Script{"FastRestartSendsAtOnce", 300, true, "C A C", State::BlockSent, "b1 b2 b1", ""},
        Script{"FastSplitFinalReplyDrops", 300, true, "C A A A A rest", State::Idle, "b1 b2 b3 eot",
               ""},
        // A lone CAN may be the head of a run: the next block joins it, and two bytes drop.
        Script{"FastCanRunDrops", 300, true, "C X X", State::Idle, "b1", ""},
        Script{"FastCanThenAckDrops", 300, true, "C X A", State::Idle, "b1", ""},
        Script{"SlowLoneCanIsIgnored", 300, false, "C t X A t", State::BlockSent, "b1 b2", ""},
        Script{"FastStopForgetsAKeptByte", 300, true, "C r close t open C", State::BlockSent,
               "b1 b1", "info_FwPortLost"},
        Script{"FastFourOtherBytesJoinTheNext", 300, true, "C A A A abcd N", State::Idle,
               "b1 b2 b3 eot", ""},
        Script{"PortClosedStops", 300, true, "C t close t", State::Waiting, "b1",
               "info_FwPortLost"},
        Script{"ReopenedPortStartsAgain", 300, true, "C t close t open C t", State::BlockSent,
               "b1 b1", "info_FwPortLost"},
        Script{"RefusedWriteStops", 300, true, "C t refuse A", State::Waiting, "b1",
               "info_FwPortLost"},
        Script{"ShrunkFileStops", 1000, false, "C t A shrink t", State::Waiting, "b1",
               "info_FwFileChanged"},
        // The block made ready before the change was read from the file as the transfer took it.
        Script{"FastShrunkFileStopsAfterTheReadyBlock", 1000, true, "C shrink A A",
               State::Waiting, "b1 b2", "info_FwFileChanged"},
        Script{"RemovedFileStops", 1000, false, "C t A remove t", State::Waiting, "b1",
               "info_FwFileChanged"},
        Script{"RewrittenFileStops", 1000, false, "C t A rewrite t", State::Waiting, "b1",
               "info_FwFileChanged"},
        Script{"SwitchedFileStopsAndIsSentNext", 1000, false, "C t switch C t", State::BlockSent,
               "b1 n1", "info_FwFileSwitched"}),
    [](const testing::TestParamInfo<Script> &info) { return info.param.name; });

TEST_F(FirmwareTest, The256thBlockCarriesNumberZero)
{
    const std::string content = RandomBytes(256 * 128 + 1, 3);
    Choose(Write(content));
    Boot();
    EXPECT_TRUE(fw.TakeBlock("C"));
    timer.Fire();
    for (int i = 1; i < 256; ++i)
        EXPECT_TRUE(fw.TakeBlock("\x06")); // the fast path sends each next block at once
    ASSERT_EQ(link.writes.size(), 256U);
    EXPECT_EQ(link.writes[255], Blocks(content)[255]);
    EXPECT_EQ(link.writes[255].substr(1, 2), std::string("\x00\xFF", 2));
    EXPECT_EQ(progress.shown.front(), std::make_pair(0, 257));
}

// The device powered up again with Reload held while a block or the end byte awaits its answer:
// the fast path's cut takes the head off the boot menu, and the menu is still answered.
TEST_F(FirmwareTest, FastPathJoinsABootMenuCutFromItsHead)
{
    Choose(Write(RandomBytes(300, 6)));
    Boot();
    for (const auto &[acks, state] :
         {std::pair(0, State::BlockSent), std::pair(3, State::EndSent)}) {
        ASSERT_TRUE(fw.TakeBlock("C"));
        for (int i = 0; i < acks; ++i)
            ASSERT_TRUE(fw.TakeBlock("\x06"));
        ASSERT_EQ(fw.XmodemState(), state);
        const std::size_t cut = link.expected;
        log.entries.clear();
        for (const std::string &piece : {kMenu.substr(0, cut), kMenu.substr(cut)}) {
            link.Received();
            EXPECT_TRUE(fw.TakeBlock(piece));
        }
        EXPECT_EQ(link.lastSent, "F") << cut;
        EXPECT_EQ(log.Of(TEntryKind::RxOther), std::vector<std::string>{kMenu});
        ASSERT_TRUE(fw.TakeBlock(kConfirm));
        ASSERT_TRUE(fw.TakeBlock("Y\r\n"));
        EXPECT_EQ(fw.XmodemState(), State::Waiting);
    }
}

// After the boot menu the fast path cuts the next block at one byte, for the start request.
// Other traffic cut so is held back and handed on whole; a later lone byte is not held. Each
// case starts from a device that shows its boot menu afresh.
TEST_F(FirmwareTest, FastPathCutsTheStartRequestAndHandsOnOtherTrafficWhole)
{
    struct Case
    {
        bool fast;
        bool file;
        std::vector<std::string> blocks;
        std::vector<bool> taken;
        std::string untaken; // of the last block
        State state;
    };
    const std::vector<Case> cases = {
        {true, true, {"C"}, {true}, "", State::BlockSent},
        {true, true, {"+", "ok\r\n"}, {true, false}, "+ok\r\n", State::Idle},
        {true, true, {kMenu.substr(0, 1), kMenu.substr(1)}, {true, true}, "", State::Waiting},
        {false, true, {"+"}, {false}, "+", State::Idle},
        {true, false, {"C", "+"}, {true, false}, "+", State::Idle},
    };
    for (const Case &c : cases) {
        fw.SetFastPath(c.fast);
        if (c.file)
            Choose(Write("x"));
        else
            fw.CloseFirmwareFile();
        Boot();
        EXPECT_EQ(link.expected, c.fast ? 1 : 0);
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            link.Received();
            EXPECT_EQ(fw.TakeBlock(c.blocks[i]), c.taken[i]) << i;
        }
        if (!c.taken.back()) {
            EXPECT_EQ(fw.Untaken(c.blocks.back()), c.untaken);
        }
        EXPECT_EQ(fw.XmodemState(), c.state) << c.blocks.front();
    }
}

// Each prompt in turn, with and without the answer before it; no file is needed for any of it.
TEST_F(FirmwareTest, BootMenuStepsAnswerOnlyWhatTheyRecognise)
{
    const std::vector<std::tuple<std::string, bool, std::string>> steps = {
        {"Y\r\n", false, ""},  {kConfirm, false, ""}, {"\r\n[boot]" + kMenu, true, "F"},
        {"Y\r\n", false, "F"}, {kConfirm, true, "Y"}, {"Y\r\n>", false, "Y"},
        {"Y\r\n", true, "Y"},
    };
    for (const auto &[rx, taken, lastSent] : steps) {
        EXPECT_EQ(fw.TakeBlock(rx), taken) << rx;
        EXPECT_EQ(link.lastSent, lastSent) << rx;
    }
    EXPECT_EQ(log.Of(TEntryKind::RxOther),
              (std::vector<std::string>{"\r\n[boot]" + kMenu, kConfirm, "Y\r\n"}));
    EXPECT_EQ(fw.XmodemState(), State::Waiting);
    EXPECT_TRUE(timer.IsActive());
    EXPECT_TRUE(fw.TakeBlock("C"));
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector<std::string>{"info_AbsentFwFlie"});
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector<std::string>{"info_ModuleRTS"});
    EXPECT_TRUE(link.writes.empty());
}

TEST_F(FirmwareTest, ChoosingAFile)
{
    link.open = false;
    Choose(Write("x"));
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector<std::string>{"info_ComNoOpen"});
    EXPECT_TRUE(window.asked.empty());

    link.open = true;
    const std::string path = Write(RandomBytes(300, 4));
    log.entries.clear();
    Choose(path);
    EXPECT_EQ(log.Of(TEntryKind::Info),
              (std::vector<std::string>{"info_SlctFwFile", "", "[ File name ]: " + path,
                                        "[ File size ]: 300 Bytes", "info_ReloadRepower"}));
    const TFileDialogRequest expected{"info_SlctFwFile",
                                      {"info_FwFile(*.bin)", "info_AllFile(*.*)"},
                                      "bin",
                                      fs::current_path().string()};
    EXPECT_EQ(window.asked.at(0).title, expected.title);
    EXPECT_EQ(window.asked.at(0).filters, expected.filters);
    EXPECT_EQ(window.asked.at(0).defaultSuffix, expected.defaultSuffix);
    EXPECT_EQ(window.asked.at(0).folder, expected.folder);
    window.answer.reset(); // cancelled: the file stays, the folder is the last one used
    fw.ChooseFirmwareFile();
    EXPECT_EQ(window.asked.back().folder, dir.string());
    EXPECT_TRUE(fw.HasFirmwareFile());

    for (const auto &[bad, warning] :
         {std::pair((dir / "missing.bin").string(), "info_FwFileOpenFail"),
          std::pair(dir.string(), "info_FwFileNotFile")}) {
        log.entries.clear();
        Choose(bad);
        EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector<std::string>{warning});
        EXPECT_FALSE(fw.HasFirmwareFile());
    }
}

TEST_F(FirmwareTest, DataStreamTracesEveryByteBothWays)
{
    const std::string content = RandomBytes(100, 5);
    window.showDataStream = true;
    Choose(Write(content));
    Boot();
    for (const char *rx : {"C", "", "\x06", "", "\x06\r\n>"})
        *rx ? (void)fw.TakeBlock(rx) : (void)timer.Fire();
    std::string hex;
    const std::string block = Blocks(content)[0];
    for (const char c : block)
        hex += "0123456789ABCDEF"[(c >> 4) & 0xF], hex += "0123456789ABCDEF"[c & 0xF];
    EXPECT_EQ(log.Of(TEntryKind::Rx), (std::vector<std::string>{"[ Rcv ]:", "43", "[ Rcv ]:", "06",
                                                                "[ Rcv ]:", "060D0A3E"}));
    EXPECT_EQ(log.Of(TEntryKind::Tx),
              (std::vector<std::string>{"[ Send ]:", hex, "[ Send ]:", "04", "[ Send ]:", "52"}));
}

} // namespace
} // namespace m845::test
