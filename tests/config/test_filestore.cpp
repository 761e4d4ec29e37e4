// The file replacement's permissions: the configuration file and a --read
// file hold the command password.

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/file_text.h"
#include "config/filestore.h"

namespace m845::test {
namespace {

namespace fs = std::filesystem;

class FileReplacing : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        ::umask(m_umask);
        fs::remove_all(dir);
    }
    [[nodiscard]] static struct stat Stat(const fs::path &path)
    {
        struct stat info
        {
        };
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info;
    }
    [[nodiscard]] std::size_t Entries(const fs::path &folder) const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    fs::path dir = fs::temp_directory_path() / ("m845-store-" + std::to_string(::getpid()));
    mode_t m_umask = ::umask(022);
};

TEST_F(FileReplacing, ANewFileHonoursTheUmaskAnExistingOneKeepsItsModeAndOwner)
{
    for (const mode_t mask : {022, 077, 002, 027, 0}) {
        ::umask(mask);
        const fs::path file = dir / ("new-" + std::to_string(mask));
        ASSERT_TRUE(WriteFileReplacing(file.string(), "CMDPW=x\n").ok);
        EXPECT_EQ(Stat(file).st_mode & 07777, 0666 & ~mask) << std::oct << mask;
    }
    ::umask(022);
    const bool root = ::geteuid() == 0;
    for (const mode_t mode : {0600, 0640, 0664, 0604}) {
        const fs::path file = dir / ("old-" + std::to_string(mode));
        ASSERT_TRUE(WriteFileReplacing(file.string(), "old").ok);
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(::chown(file.c_str(), 1234, 5678), 0);
        }
        ASSERT_TRUE(WriteFileReplacing(file.string(), "new").ok);
        EXPECT_EQ(ReadFile(file), "new");
        const struct stat info = Stat(file);
        EXPECT_EQ(info.st_mode & 07777, mode) << std::oct << mode;
        if (root) {
            EXPECT_EQ(info.st_uid, 1234u);
            EXPECT_EQ(info.st_gid, 5678u);
        }
    }
}

} // namespace
} // namespace m845::test
