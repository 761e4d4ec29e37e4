#include "config/filestore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
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

// Where a save lands: the end of a chain of symbolic links, and what is there now.
struct TTarget
{
    std::string path;
    bool exists = false;
    struct stat info
    {
    };
};

// Follows links as open() does, also to a file that does not exist yet: the save creates it
// and the link stays. A relative link is read from the link's own folder; a loop ends at the
// kernel's limit of hops with its error.
TFileOutcome ResolveTarget(const std::string &path, TTarget &target)
{
    constexpr int kMaxHops = 40;
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat info
        {
        };
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return Failure(errno);
            target = TTarget{current, false, {}};
            return {};
        }
        if (!S_ISLNK(info.st_mode)) {
            target = TTarget{current, true, info};
            return {};
        }
        if (hops == kMaxHops)
            return Failure(ELOOP);
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error)
            return Failure(error.value());
        // Not normalised: "link-folder/../x" must climb from where a linked folder really is.
        current = next.is_absolute()
                      ? next.string()
                      : (std::filesystem::path(current).parent_path() / next).string();
    }
}

// A new file beside the target, created as open(O_CREAT) creates one with this mode: the umask
// (or the folder's default ACL) applies. mkstemp() would always give 0600.
int CreateBeside(const std::string &target, mode_t mode, std::string &temp)
{
    static constexpr std::string_view kLetters
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::minstd_rand random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + '.';
        for (int i = 0; i < 6; ++i)
            temp += kLetters[pick(random)];
        const int fd
            = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The replacement takes over the old file's owner where this process may give it (root, or a
// group of the user's own) and its mode. The owner goes first: a change of owner clears set-id
// bits.
bool TakeOver(int fd, const struct stat &old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), old.st_gid));
    return ::fchmod(fd, old.st_mode & 07777) == 0;
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
    TTarget target;
    if (const TFileOutcome resolved = ResolveTarget(path, target); !resolved.ok)
        return resolved;
    // Private until it has the old file's mode: nobody may open it early and read the text later.
    std::string temp;
    TFd fd(CreateBeside(target.path, target.exists ? 0600 : 0666, temp));
    if (fd.Get() < 0)
        return Failure(errno);
    const auto discard = [&temp](int error) {
        ::unlink(temp.c_str());
        return Failure(error);
    };
    if ((target.exists && !TakeOver(fd.Get(), target.info)) || !WriteAll(fd.Get(), text)
        || ::fsync(fd.Get()) != 0)
        return discard(errno);
    if (::close(fd.Release()) != 0)
        return discard(errno);
    if (::rename(temp.c_str(), target.path.c_str()) != 0)
        return discard(errno);
    // The rename itself reaches the disk with its folder.
    const std::string folder = std::filesystem::path(target.path).parent_path().string();
    TFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
    return {};
}

} // namespace m845
