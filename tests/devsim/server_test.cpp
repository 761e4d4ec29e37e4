// The simulator on a real pseudo-terminal, driven from the far end with plain reads and writes.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>

#include "common/file_text.h"
#include "devsim/simserver.h"
#include "devsim_testutil.h"

extern char **environ;

namespace m845::devsim {
namespace {

using std::chrono::milliseconds;
namespace fs = std::filesystem;

const milliseconds kWait(3000);

using m845::test::ReadFile;

class SimServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path()
              / ("devsim_" + std::to_string(::getpid()) + "_"
                 + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        peer.reset();
        if (sim) {
            sim->Stop();
        }
        fs::remove_all(dir);
    }

    void Start(SimOptions options)
    {
        sim = std::make_unique<SimServer>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        peer = std::make_unique<test::PtyPeer>(sim->SlavePath());
        ASSERT_TRUE(peer->IsOpen());
    }

    std::string Burst(milliseconds timeout = kWait)
    {
        return peer->ReadBurst(timeout).value_or("");
    }

    // The entry pair as the tool performs it.
    void Enter()
    {
        ASSERT_TRUE(peer->Write("+++"));
        ASSERT_EQ(Burst(), "a");
        ASSERT_TRUE(peer->Write("a"));
        ASSERT_EQ(Burst(), "+ok\r\n");
    }

    fs::path dir;
    std::unique_ptr<SimServer> sim;
    std::unique_ptr<test::PtyPeer> peer;
};

TEST_F(SimServerTest, EntryQueriesSetsAndTraceOverThePty)
{
    SimOptions options;
    options.traceFile = (dir / "trace.txt").string();
    options.stateFile = (dir / "state.txt").string();
    {
        std::ofstream preset(options.stateFile);
        preset << "E=OFF\nVER=V1.0.5\n";
    }
    Start(options);
    EXPECT_EQ(Burst(), "\r\n[ZLM-M845]\r\n");
    // In data transfer a command line is only data: it comes back as the peer's echo.
    ASSERT_TRUE(peer->Write("AT+VER?\r\n"));
    EXPECT_EQ(Burst(), "AT+VER?\r\n");
    Enter();
    ASSERT_TRUE(peer->Write("AT+VER?\r\n"));
    EXPECT_EQ(Burst(), "\r\n+VER:V1.0.5\r\n\r\nOK\r\n");
    ASSERT_TRUE(peer->Write("AT+WKMOD=HTTPD\r\n"));
    EXPECT_EQ(Burst(), "\r\nOK\r\n\r\n");
    ASSERT_TRUE(peer->Write("AT+WKMOD=FAST\r\n"));
    EXPECT_EQ(Burst(), "\r\n+ERR:-4\r\n\r\n");
    ASSERT_TRUE(peer->Write("AT+E=ON\r\n"));
    EXPECT_EQ(Burst(), "\r\nOK\r\n\r\n"); // echo was still off when the line came
    ASSERT_TRUE(peer->Write("AT+WKMOD?\r\n"));
    EXPECT_EQ(Burst(), "AT+WKMOD?\r\n\r\n+WKMOD:HTTPD\r\n\r\nOK\r\n");
    ASSERT_TRUE(peer->Write("AT+ENTM\r\n"));
    EXPECT_EQ(Burst(), "AT+ENTM\r\n\r\nOK\r\n\r\n");
    EXPECT_EQ(sim->Mode(), DeviceMode::DataTransfer);

    const std::vector<std::string> expected
        = {"+++",           "a",       "AT+VER?",   "AT+WKMOD=HTTPD",
           "AT+WKMOD=FAST", "AT+E=ON", "AT+WKMOD?", "AT+ENTM"};
    EXPECT_EQ(sim->Trace(), expected);
    std::string file;
    for (const auto &line : expected) {
        file += line + "\n";
    }
    EXPECT_EQ(ReadFile(options.traceFile), file);
    const std::string state = ReadFile(options.stateFile);
    EXPECT_NE(state.find("\nWKMOD=HTTPD\n"), std::string::npos);
    EXPECT_NE(state.find("\nVER=V1.0.5\n"), std::string::npos);
    EXPECT_EQ(sim->Param("WKMOD"), "HTTPD");
}

TEST_F(SimServerTest, RestartPrintsTheStartMessageAfterTheOk)
{
    Start({});
    EXPECT_EQ(Burst(), "\r\n[ZLM-M845]\r\n");
    Enter();
    sim->SetParam("STMSG", "[TEST]");
    ASSERT_TRUE(peer->Write("AT+Z\r\n"));
    EXPECT_EQ(Burst(), "AT+Z\r\n\r\nOK\r\n\r\n");
    EXPECT_EQ(Burst(), "\r\n[TEST]\r\n");
    EXPECT_EQ(sim->Mode(), DeviceMode::DataTransfer);
}

TEST_F(SimServerTest, LinkPointsAtTheLineAndGoesWithStop)
{
    SimOptions options;
    options.linkPath = (dir / "ttyM845").string();
    Start(options);
    EXPECT_EQ(fs::read_symlink(options.linkPath).string(), sim->SlavePath());
    sim->Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(options.linkPath)));
}

TEST_F(SimServerTest, SplitAnswerArrivesAsTwoBlocks)
{
    SimOptions options;
    options.model.splitCommands = {"VER"};
    Start(options);
    (void)Burst();
    Enter();
    ASSERT_TRUE(peer->Write("AT+VER?\r\n"));
    const std::string first = Burst();
    const std::string second = Burst();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first + second, "AT+VER?\r\n\r\n+VER:V2.1.5\r\n\r\nOK\r\n");
}

TEST_F(SimServerTest, ErrOptionRefusesTheNamedCommands)
{
    SimOptions options;
    options.model.errCommands = {"VER", "UART"};
    options.model.silentUntilEntry = true;
    Start(options);
    ASSERT_TRUE(peer->Write("AT+VER?\r\n"));
    EXPECT_FALSE(peer->ReadBurst(milliseconds(300)).has_value()); // silent: no echo
    Enter();
    ASSERT_TRUE(peer->Write("AT+UART=9600,8,1,NONE\r\n"));
    EXPECT_NE(Burst().find("+ERR:"), std::string::npos);
    EXPECT_EQ(sim->Param("UART"), "115200,8,1,NONE,NFC");
}

TEST_F(SimServerTest, DropAfterClosesTheLineLikeAPulledCable)
{
    SimOptions options;
    options.dropAfter = 10;
    Start(options);
    (void)Burst();
    Enter();                                 // 4 bytes
    ASSERT_TRUE(peer->Write("AT+VER?\r\n")); // the 10th byte is the "R"
    (void)peer->ReadBurst(kWait);
    EXPECT_TRUE(peer->Gone());
    EXPECT_TRUE(sim->Dropped());
    EXPECT_EQ(sim->BytesReceived(), 10);
    EXPECT_FALSE(fs::exists(sim->SlavePath()));
}

TEST_F(SimServerTest, BaudPaceNeverDeliversFasterThanTheLineRate)
{
    SimOptions options;
    options.baudPace = true;
    options.baud = 9600;
    options.model.silentUntilEntry = true;
    Start(options);
    Enter();
    const std::string expected = "AT+HTPHD?\r\n\r\n+HTPHD:Connection: close[0D][0A]\r\n\r\nOK\r\n";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(peer->Write("AT+HTPHD?\r\n"));
    std::string got;
    while (got.size() < expected.size()) {
        const auto part = peer->ReadBurst(kWait, milliseconds(1));
        ASSERT_TRUE(part.has_value());
        got += *part;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got, expected);
    // At 9600 baud a byte with its start and stop bits takes 1.04 ms.
    EXPECT_GE(elapsed, std::chrono::microseconds(got.size() * 1041));
}

TEST_F(SimServerTest, BaudPaceHandsTheDeviceAWrittenBlockAtTheLineRate)
{
    SimOptions options;
    options.baudPace = true;
    options.baud = 9600;
    options.model.boot = true;
    Start(options);
    (void)Burst();
    ASSERT_TRUE(peer->Write("F"));
    (void)Burst();
    ASSERT_TRUE(peer->Write("Y"));
    ASSERT_EQ(Burst(), "Y\r\n");
    const std::string block = test::Blocks(std::string(128, 'x')).front();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(peer->Write(block)); // at once, as a sender hands a block to its driver
    EXPECT_EQ(Burst(), "\x06");
    // The answer needs the block's last byte, which is 133 byte times of 1.04 ms on the line.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(133 * 1041));
}

TEST_F(SimServerTest, ServesAnExistingPortWithPowerOnAtOnce)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::tcsetattr(master, TCSANOW, &tio);
    SimOptions options;
    options.portPath = ::ttyname(slave);
    sim = std::make_unique<SimServer>(options);
    std::string error;
    ASSERT_TRUE(sim->Start(&error)) << error;
    EXPECT_EQ(sim->SlavePath(), options.portPath);

    auto readBurst = [&] {
        std::string out;
        int wait = 3000;
        pollfd pfd{master, POLLIN, 0};
        while (::poll(&pfd, 1, wait) > 0) {
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
            wait = 60;
        }
        return out;
    };
    EXPECT_EQ(readBurst(), "\r\n[ZLM-M845]\r\n");
    ASSERT_EQ(::write(master, "+++", 3), 3);
    EXPECT_EQ(readBurst(), "a");
    sim->Stop();
    ::close(slave);
    ::close(master);
}

// Sends an image as the tool's upgrade does and returns what the device answered to each step.
void SendImage(test::PtyPeer &peer, const std::string &image, int *naks)
{
    const auto blocks = test::Blocks(image);
    for (const std::string &block : blocks) {
        for (;;) {
            ASSERT_TRUE(peer.Write(block));
            const auto reply = peer.ReadBurst(kWait, milliseconds(5));
            ASSERT_TRUE(reply.has_value());
            if (*reply == "\x15") {
                ++*naks;
                continue;
            }
            ASSERT_EQ(*reply, "\x06");
            break;
        }
    }
    ASSERT_TRUE(peer.Write("\x04"));
    EXPECT_EQ(peer.ReadBurst(kWait).value_or(""), "\x06\r\n>");
}

TEST_F(SimServerTest, BootMenuAndXmodemTransferWriteThePaddedImage)
{
    SimOptions options;
    options.model.boot = true;
    options.model.nakEvery = 3;
    options.fwOutFile = (dir / "fw.bin").string();
    Start(options);
    EXPECT_EQ(Burst(),
              "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>");
    ASSERT_TRUE(peer->Write("F"));
    EXPECT_EQ(Burst(), "F\r\nSure to update, 'Y' or 'N'\r\n>");
    ASSERT_TRUE(peer->Write("Y"));
    EXPECT_EQ(Burst(), "Y\r\n"); // alone: the first "C" comes a second later
    EXPECT_EQ(Burst(), "C");

    std::string image(1000, '\0');
    std::mt19937 random(4);
    for (char &c : image) {
        c = static_cast<char>(random());
    }
    int naks = 0;
    SendImage(*peer, image, &naks);
    EXPECT_EQ(naks, 2); // blocks 3 and 6 of 8, once each
    ASSERT_TRUE(sim->WaitForFirmware(1, kWait));
    EXPECT_EQ(ReadFile(options.fwOutFile), test::Padded(image));
    EXPECT_EQ(sim->Firmware(), test::Padded(image));

    ASSERT_TRUE(peer->Write("R"));
    EXPECT_EQ(Burst(), "R\r\n");
    EXPECT_EQ(Burst(), "\r\n[ZLM-M845]\r\n");
}

// lrzsz's sx as an independent XModem sender, relayed through pipes as it needs.
TEST_F(SimServerTest, LrzszSenderDeliversAnImageTheDeviceAccepts)
{
    if (!fs::exists("/usr/bin/sx")) {
        GTEST_SKIP() << "lrzsz is not installed";
    }
    SimOptions options;
    options.model.reloadHeld = true;
    options.model.startRequestInterval = milliseconds(200);
    Start(options);
    (void)Burst();
    ASSERT_TRUE(peer->Write("F"));
    (void)Burst();
    ASSERT_TRUE(peer->Write("Y"));
    EXPECT_EQ(Burst(), "Y\r\n");

    std::string image(5000, '\0');
    std::mt19937 random(9);
    for (char &c : image) {
        c = static_cast<char>(random());
    }
    const fs::path file = dir / "image.bin";
    std::ofstream(file, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));

    int toSx[2];
    int fromSx[2];
    ASSERT_EQ(::pipe(toSx), 0);
    ASSERT_EQ(::pipe(fromSx), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toSx[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromSx[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string path = file.string();
    const char *argv[] = {"sx", "-q", path.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(
        ::posix_spawn(&pid, "/usr/bin/sx", &actions, nullptr, const_cast<char **>(argv), environ),
        0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toSx[0]);
    ::close(fromSx[1]);

    std::string fromDevice;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool sxDone = false;
    while (std::chrono::steady_clock::now() < deadline && !sxDone) {
        pollfd fds[2] = {{peer->Fd(), POLLIN, 0}, {fromSx[0], POLLIN, 0}};
        ::poll(fds, 2, 100);
        char buffer[4096];
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = ::read(peer->Fd(), buffer, sizeof buffer);
            if (n > 0) {
                fromDevice.append(buffer, static_cast<std::size_t>(n));
                (void)::write(toSx[1], buffer, static_cast<std::size_t>(n));
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t n = ::read(fromSx[0], buffer, sizeof buffer);
            if (n > 0) {
                ASSERT_TRUE(peer->Write(std::string_view(buffer, static_cast<std::size_t>(n))));
            } else {
                sxDone = true;
            }
        }
    }
    ::close(toSx[1]);
    ::close(fromSx[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ASSERT_TRUE(sim->WaitForFirmware(1, kWait));
    EXPECT_EQ(sim->Firmware(), test::Padded(image));
    EXPECT_TRUE(fromDevice.ends_with("\x06\r\n>")) << fromDevice.size();
}

} // namespace
} // namespace m845::devsim
