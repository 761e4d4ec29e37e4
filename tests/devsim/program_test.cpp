// The m845sim program as a technician or a script runs it.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include "devsim_testutil.h"

extern char **environ;

namespace m845::devsim {
namespace {

#ifdef M845SIM_PATH

using std::chrono::milliseconds;
namespace fs = std::filesystem;

class Program
{
public:
    explicit Program(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        args.insert(args.begin(), M845SIM_PATH);
        std::vector<char *> argv;
        for (std::string &arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&m_pid, M845SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~Program()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // The first line of standard output, waiting at most `timeout`.
    std::string FirstLine(milliseconds timeout)
    {
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd pfd{m_out, POLLIN, 0};
            char buffer[256];
            if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0) {
                return {};
            }
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0) {
                return {};
            }
            line.append(buffer, static_cast<std::size_t>(n));
        }
        return line.substr(0, line.find('\n'));
    }

    // The exit status, or -1 when the program has not ended within `timeout`.
    int Wait(milliseconds timeout)
    {
        // A pidfd becomes readable when the process ends: an event to wait on, not a sleep.
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        if (pidfd < 0) {
            return -1;
        }
        pollfd pfd{pidfd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
        ::close(pidfd);
        int status = 0;
        if (ready <= 0 || ::waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    [[nodiscard]] pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("m845sim_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ProgramTest, PrintsThePathServesTheLinkAndCleansUpOnSigterm)
{
    const std::string link = (dir / "ttyM845").string();
    const std::string trace = (dir / "trace.txt").string();
    Program sim({"--link", link, "--trace", trace, "--err", "VER"});
    const std::string path = sim.FirstLine(milliseconds(5000));
    ASSERT_TRUE(path.starts_with("/dev/")) << path;
    EXPECT_EQ(fs::read_symlink(link).string(), path);

    test::PtyPeer peer(link);
    ASSERT_TRUE(peer.IsOpen());
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "\r\n[ZLM-M845]\r\n");
    ASSERT_TRUE(peer.Write("+++"));
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "a");
    ASSERT_TRUE(peer.Write("a"));
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "+ok\r\n");
    ASSERT_TRUE(peer.Write("AT+VER?\r\n"));
    EXPECT_EQ(peer.ReadBurst(milliseconds(3000)).value_or(""), "AT+VER?\r\n\r\n+ERR:-5\r\n\r\n");

    ASSERT_EQ(::kill(sim.Pid(), SIGTERM), 0);
    EXPECT_EQ(sim.Wait(milliseconds(5000)), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "+++\na\nAT+VER?\n");
}

TEST_F(ProgramTest, EndsByItselfWhenTheLineIsDropped)
{
    Program sim({"--drop-after", "3", "--silent-until-entry"});
    const std::string path = sim.FirstLine(milliseconds(5000));
    test::PtyPeer peer(path);
    ASSERT_TRUE(peer.IsOpen());
    ASSERT_TRUE(peer.Write("abc"));
    EXPECT_EQ(sim.Wait(milliseconds(5000)), 0);
}

TEST_F(ProgramTest, RefusesBadArgumentsAndAnUnreadableState)
{
    Program bad({"--nak-every", "zero"});
    EXPECT_EQ(bad.Wait(milliseconds(5000)), 2);
    const std::string state = (dir / "state.txt").string();
    std::ofstream(state) << "garbage\n";
    Program badState({"--state", state});
    EXPECT_EQ(badState.Wait(milliseconds(5000)), 1);
}

#endif

} // namespace
} // namespace m845::devsim
