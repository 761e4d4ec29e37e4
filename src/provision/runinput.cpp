#include "provision/runinput.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lang/langlist.h"
#include "provision/report.h"

namespace m845 {

namespace fs = std::filesystem;

bool IsFolderTarget(const std::string &readTarget)
{
    return !readTarget.empty() && readTarget.back() == '/';
}

std::string CheckReadTarget(const std::string &readTarget)
{
    // Found out now rather than after the device has been read.
    const fs::path file(readTarget);
    const bool folderTarget = IsFolderTarget(readTarget);
    const fs::path folder = folderTarget             ? file
                            : file.has_parent_path() ? file.parent_path()
                                                     : fs::path(".");
    std::error_code ec;
    if (!folderTarget && fs::is_directory(file, ec))
        return LangFormat("info_CfgWriteFail", {readTarget}) + ": " + std::strerror(EISDIR);
    if (folderTarget && !fs::is_directory(folder, ec))
        return LangFormat("info_ProvNoFolder", {readTarget, std::strerror(ENOTDIR)});
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return LangFormat("info_ProvNoFolder", {readTarget, std::strerror(errno)});
    return {};
}

std::string FileForIdentity(const std::string &folder, const std::string &identity)
{
    if (identity.empty())
        return {};
    std::string name;
    for (const char c : identity) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')
                           || (c >= 'a' && c <= 'z') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    // Never a hidden file, nor "." or "..".
    if (name.front() == '.')
        name.front() = '_';
    return (fs::path(folder) / (name + ".ini")).string();
}

std::string CheckFirmwareImage(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return LangFormat("info_FwFileOpenFail", {path, std::strerror(errno)});
    struct stat info
    {
    };
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular ? std::string() : LangFormat("info_FwFileNotFile", {path});
}

std::string CheckReport(const std::string &path)
{
    const TReportOutcome prepared = PrepareReport(path);
    return prepared.ok ? std::string() : LangFormat("info_ProvReportFail", {path, prepared.reason});
}

} // namespace m845
