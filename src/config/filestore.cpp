#include "config/filestore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace m845 {

namespace {

TFileOutcome Failure(int error)
{
    return TFileOutcome{false, false, std::strerror(error)};
}

// Closes on every path out of the write.
class TFd final
{
public:
    explicit TFd(int fd)
        : m_fd(fd)
    {}
    ~TFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    [[nodiscard]] int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string ResolvedTarget(const std::string &path)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    const auto target = std::filesystem::weakly_canonical(path, error);
    return error ? path : target.string();
}

bool WriteAll(int fd, const std::string &text)
{
    const char *data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

TFileOutcome ReadWholeFile(const std::string &path, std::string &text)
{
    text.clear();
    // Non-blocking, so a FIFO in the file's place cannot hang the start.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        if (errno == ENOENT)
            return TFileOutcome{true, true, {}};
        return Failure(errno);
    }
    struct stat info
    {
    };
    if (::fstat(fd.Get(), &info) != 0)
        return Failure(errno);
    // A folder or a device (/dev/zero would never end) is no configuration file.
    if (!S_ISREG(info.st_mode))
        return Failure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Failure(errno);
        }
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return {};
}

TFileOutcome WriteFileReplacing(const std::string &path, const std::string &text)
{
    const std::string target = ResolvedTarget(path);
    std::string temp = target + ".XXXXXX";
    TFd fd(::mkstemp(temp.data()));
    if (fd.Get() < 0)
        return Failure(errno);
    const auto discard = [&temp](int error) {
        ::unlink(temp.c_str());
        return Failure(error);
    };
    // The new file gets the old one's permissions, or the usual ones for a settings file.
    struct stat old
    {
    };
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::fchmod(fd.Get(), mode) != 0 || !WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0)
        return discard(errno);
    if (::close(fd.Release()) != 0)
        return discard(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return discard(errno);
    // The rename itself reaches the disk with its folder.
    const std::string folder = std::filesystem::path(target).parent_path().string();
    TFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
    return {};
}

} // namespace m845
