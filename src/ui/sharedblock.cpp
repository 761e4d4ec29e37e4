#include "ui/sharedblock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace m845 {

namespace {

constexpr std::size_t kBlockSize = sizeof(std::uint32_t);

} // namespace

TSharedBlock::TSharedBlock(const std::string &name)
{
    // Exclusive creation first, so only the creator stores the 0.
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        if (ftruncate(fd, kBlockSize) != 0) {
            close(fd);
            return;
        }
        m_created = true;
    } else if (errno == EEXIST) {
        fd = shm_open(name.c_str(), O_RDWR, 0600);
        if (fd < 0)
            return;
        struct stat st
        {
        };
        // A block cut short by a creator that died between create and size: size it now.
        if (fstat(fd, &st) != 0
            || (st.st_size < static_cast<off_t>(kBlockSize) && ftruncate(fd, kBlockSize) != 0)) {
            close(fd);
            return;
        }
    } else {
        return;
    }
    void *view = mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd); // the mapping keeps the object alive
    if (view == MAP_FAILED)
        return;
    m_value = static_cast<volatile std::uint32_t *>(view);
    if (m_created)
        *m_value = 0;
}

TSharedBlock::~TSharedBlock()
{
    if (m_value != nullptr)
        munmap(const_cast<std::uint32_t *>(m_value), kBlockSize);
}

} // namespace m845
