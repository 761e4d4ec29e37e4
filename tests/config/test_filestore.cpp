// The file replacement's permissions and symbolic links: the configuration file and a --read
// file hold the command password.

#include <cerrno>
#include <cstring>
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
    void SetUp() override { fs::create_directories(dir / "links"); }
    void TearDown() override
    {
        ::umask(m_umask);
        fs::remove_all(dir);
    }
    fs::path dir = fs::temp_directory_path() / ("m845-store-" + std::to_string(::getpid()));
    mode_t m_umask = ::umask(022);
};

TEST_F(FileReplacing, ANewFileHonoursTheUmaskAReplacedOneKeepsModeAndOwner)
{
    const std::string file = (dir / "M845Cfg.ini").string();
    struct stat info
    {
    };
    for (const mode_t mask : {077, 002, 0}) {
        ::umask(mask);
        fs::remove(file);
        ASSERT_TRUE(WriteFileReplacing(file, "CMDPW=x\n").ok);
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask) << std::oct << mask;
    }
    ::umask(022);
    ASSERT_EQ(::chmod(file.c_str(), 0604), 0);
    const bool root = ::geteuid() == 0; // only root may give a file away
    ASSERT_TRUE(!root || ::chown(file.c_str(), 1234, 5678) == 0);
    ASSERT_TRUE(WriteFileReplacing(file, "CMDPW=y\n").ok);
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_TRUE(!root || (info.st_uid == 1234 && info.st_gid == 5678));
}

TEST_F(FileReplacing, LinksLeadToTheirTargetCreatedIfNeededAndALoopFails)
{
    fs::create_directories(dir / "real");
    const fs::path links = dir / "links";
    fs::create_symlink("../real/a.ini", links / "dangling"); // from the link's folder
    fs::create_symlink("hop", links / "chain");
    fs::create_symlink(dir / "real" / "b.ini", links / "hop");
    fs::create_symlink("loop-2", links / "loop");
    fs::create_symlink("loop", links / "loop-2");
    for (const auto &[link, target] : {std::pair{"dangling", "a.ini"}, {"chain", "b.ini"}}) {
        ASSERT_TRUE(WriteFileReplacing((links / link).string(), "CMDPW=x\n").ok) << link;
        EXPECT_EQ(ReadFile(dir / "real" / target), "CMDPW=x\n") << link;
    }
    const TFileOutcome loop = WriteFileReplacing((links / "loop").string(), "x");
    EXPECT_FALSE(loop.ok);
    EXPECT_EQ(loop.reason, std::strerror(ELOOP));
    for (const char *link : {"dangling", "chain", "hop", "loop", "loop-2"})
        EXPECT_TRUE(fs::is_symlink(links / link)) << link;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), {}), 2) << "no temporary left";
}

} // namespace
} // namespace m845::test
