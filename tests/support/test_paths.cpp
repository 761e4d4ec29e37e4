#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <unistd.h>

#include "common/scoped_env.h"
#include "support/paths.h"

namespace m845 {
namespace {

using EnvOverride = test::ScopedEnv;

class Paths : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern
            = (std::filesystem::temp_directory_path() / "m845paths-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
    }

    std::string m_root;
};

TEST_F(Paths, ProgramFolderHoldsTheRunningExecutable)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.front(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "test_support"));
}

TEST_F(Paths, DataDirVariableWinsAndIsCreated)
{
    const EnvOverride dataDir("M845_DATA_DIR", m_root + "/data/sub");
    EXPECT_EQ(DataFolder(), m_root + "/data/sub/");
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/data/sub"));
    EXPECT_EQ(ChooseDataFolder("/opt/x/", false), m_root + "/data/sub/");
}

TEST_F(Paths, WritableProgramFolderIsUsed)
{
    const EnvOverride dataDir("M845_DATA_DIR", std::nullopt);
    EXPECT_EQ(ChooseDataFolder("/opt/m845", true), "/opt/m845/");
    EXPECT_EQ(DataFolder(), ProgramFolder()); // tests run from a writable build folder
}

TEST_F(Paths, InstalledProgramKeepsItsFilesInTheUsersFolderEvenWhenRootCouldWriteThere)
{
    const EnvOverride dataDir("M845_DATA_DIR", std::nullopt);
    const EnvOverride xdg("XDG_CONFIG_HOME", m_root + "/xdg");
    for (const char *folder : {"/usr/bin/", "/usr/local/bin", "/bin/"})
        EXPECT_EQ(ChooseDataFolder(folder, true), m_root + "/xdg/m845tool/") << folder;
}

TEST_F(Paths, ReadOnlyProgramFolderMovesToTheUsersConfigFolder)
{
    const EnvOverride dataDir("M845_DATA_DIR", std::nullopt);
    const EnvOverride home("HOME", m_root + "/home");
    {
        const EnvOverride xdg("XDG_CONFIG_HOME", m_root + "/xdg");
        EXPECT_EQ(ChooseDataFolder("/usr/bin/", false), m_root + "/xdg/m845tool/");
        EXPECT_TRUE(std::filesystem::is_directory(m_root + "/xdg/m845tool"));
    }
    for (const std::optional<std::string> &xdg :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/dir")}) {
        const EnvOverride unset("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(ChooseDataFolder("/usr/bin/", false), m_root + "/home/.config/m845tool/");
    }
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/home/.config/m845tool"));
}

} // namespace
} // namespace m845
