#include "ui/window/sharedblock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace m845 {

namespace {

constexpr std::size_t kBlockSize = sizeof(std::uint32_t);
// A block unlinked by a last instance between our open and our lock: open it anew.
constexpr int kOpenAttempts = 3;

} // namespace

TSharedBlock::TSharedBlock(const std::string &name)
    : m_name(name)
{
    for (int attempt = 0; attempt < kOpenAttempts && m_fd < 0; ++attempt)
        OpenOnce();
    if (m_fd < 0)
        return;
    void *view = mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (view == MAP_FAILED)
        return;
    m_value = static_cast<volatile std::uint32_t *>(view);
    if (m_created)
        *m_value = 0;
}

void TSharedBlock::OpenOnce()
{
    m_created = false;
    // Exclusive creation first, so only the creator stores the 0.
    int fd = shm_open(m_name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        m_created = true;
    } else if (errno == EEXIST) {
        fd = shm_open(m_name.c_str(), O_RDWR, 0600);
        if (fd < 0)
            return;
    } else {
        return;
    }
    // Every running instance holds a shared lock for its whole life; the one that can turn it
    // into an exclusive lock at exit is the last, and removes the block.
    struct stat st
    {
    };
    if (flock(fd, LOCK_SH) != 0 || fstat(fd, &st) != 0 || st.st_nlink == 0) {
        close(fd);
        return;
    }
    // A block cut short by a creator that died between create and size: size it now.
    if (st.st_size < static_cast<off_t>(kBlockSize) && ftruncate(fd, kBlockSize) != 0) {
        close(fd);
        return;
    }
    m_fd = fd;
}

TSharedBlock::~TSharedBlock()
{
    if (m_value != nullptr)
        munmap(const_cast<std::uint32_t *>(m_value), kBlockSize);
    if (m_fd < 0)
        return;
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        shm_unlink(m_name.c_str());
    close(m_fd);
}

} // namespace m845
