#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace m845::test {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace m845::test
