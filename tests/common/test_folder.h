#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace m845::test {

// A folder of the running test's own (by the program and the test's name), empty at the start;
// the caller removes it.
inline std::filesystem::path FreshTestFolder(const std::string &prefix)
{
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path()
          / (prefix + "-" + std::to_string(::getpid()) + "-"
             + testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace m845::test
