#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

#include "lang/langlist.h"

namespace m845::test {

// The language list of a test suite, with its file in a folder of its own that goes with it.
class ScopedLanguage final
{
public:
    explicit ScopedLanguage(const std::string &prefix)
        : m_dir(std::filesystem::temp_directory_path()
                / (prefix + "-lang-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(m_dir);
        InitLanguage((m_dir / std::string(kLangFileName)).string());
    }
    ~ScopedLanguage()
    {
        ReleaseLanguage();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    ScopedLanguage(const ScopedLanguage &) = delete;
    ScopedLanguage &operator=(const ScopedLanguage &) = delete;

private:
    std::filesystem::path m_dir;
};

} // namespace m845::test
