#include "firmware/firmwarefile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace m845 {

namespace {

bool SameTime(const std::timespec &a, const std::timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

TFirmwareFile::~TFirmwareFile()
{
    Close();
}

TFirmwareOpen TFirmwareFile::Open(const std::string &path, std::string &reason)
{
    Close();
    // Non-blocking, so that a FIFO chosen by mistake cannot hang the window in open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return TFirmwareOpen::Failed;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return TFirmwareOpen::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return TFirmwareOpen::NotRegular;
    }
    m_fd = fd;
    m_path = path;
    m_size = static_cast<std::uint64_t>(info.st_size);
    m_modified = info.st_mtim;
    return TFirmwareOpen::Ok;
}

void TFirmwareFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_size = 0;
    m_modified = {};
}

bool TFirmwareFile::Snapshot()
{
    struct stat info
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_nlink == 0)
        return false;
    m_size = static_cast<std::uint64_t>(info.st_size);
    m_modified = info.st_mtim;
    return true;
}

TFirmwareRead TFirmwareFile::Read(std::uint64_t position, std::uint8_t *out, std::size_t count,
                                  std::size_t &got, std::string &reason)
{
    got = 0;
    struct stat info
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_nlink == 0
        || static_cast<std::uint64_t>(info.st_size) != m_size || !SameTime(info.st_mtim, m_modified)
        || position > m_size)
        return TFirmwareRead::Changed;
    const std::size_t want
        = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - position));
    while (got < want) {
        const ssize_t n = ::pread(m_fd, out + got, want - got, static_cast<off_t>(position + got));
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            reason = std::strerror(errno);
            return TFirmwareRead::Failed;
        }
        // The end came early: the file shrank between the look and the read.
        return TFirmwareRead::Changed;
    }
    return TFirmwareRead::Ok;
}

} // namespace m845
