#pragma once

// The program run as a technician's shell runs it, its two output streams read as they come,
// so that a test waits on what it says and on its end, never on the clock.

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace m845::test {

class ToolProcess final
{
public:
    ToolProcess(const std::string &program, std::vector<std::string> args)
    {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        args.insert(args.begin(), program);
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_fds[0] = out[0];
        m_fds[1] = err[0];
    }
    ~ToolProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : m_fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;

    // Reads until the standard error holds text count times; false when the program ends first
    // or the time is up.
    bool WaitForError(const std::string &text, int count = 1,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (Count(m_err, text) < count) {
            if (!ReadSome(until))
                return Count(m_err, text) >= count;
        }
        return true;
    }
    void Signal(int signal) const
    {
        if (m_pid > 0)
            ::kill(m_pid, signal);
    }
    // Reads both streams to their end and gives the exit status (-1 when it did not exit).
    int Finish(std::chrono::milliseconds timeout = std::chrono::seconds(120))
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (ReadSome(until)) {
        }
        if (m_pid <= 0)
            return -1;
        if (m_fds[0] >= 0 || m_fds[1] >= 0)
            ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    [[nodiscard]] const std::string &Out() const { return m_out; }
    [[nodiscard]] const std::string &Err() const { return m_err; }

private:
    static int Count(const std::string &text, const std::string &what)
    {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + what.size()))
            ++n;
        return n;
    }
    // One wait for either stream; false once both have ended or the time is up.
    bool ReadSome(std::chrono::steady_clock::time_point until)
    {
        if (m_fds[0] < 0 && m_fds[1] < 0)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fds[i], buffer, sizeof buffer);
            if (n <= 0) {
                ::close(m_fds[i]);
                m_fds[i] = -1;
                continue;
            }
            (i == 0 ? m_out : m_err).append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1};
    std::string m_out;
    std::string m_err;
};

} // namespace m845::test
