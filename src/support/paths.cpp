#include "support/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace m845 {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    return folder;
}

std::string EnvText(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder()
{
    std::string home = EnvText("HOME");
    if (!home.empty())
        return home;
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

// Creation may fail (read-only home); the caller's write then names the folder in its error.
std::string Ensured(const std::string &folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

// The shared binary folders of an installed program: root can write them, but settings and
// language files do not belong there.
bool IsSystemBinaryFolder(const std::string &folder)
{
    for (const char *system :
         {"/usr/bin/", "/usr/local/bin/", "/bin/", "/usr/sbin/", "/sbin/", "/usr/games/"}) {
        if (folder == system)
            return true;
    }
    return false;
}

} // namespace

std::string ProgramFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return "./";
        if (static_cast<std::size_t>(length) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(length));
            const std::size_t slash = exe.rfind('/');
            return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ChooseDataFolder(const std::string &programFolder, bool programFolderWritable)
{
    if (const std::string dataDir = EnvText("M845_DATA_DIR"); !dataDir.empty())
        return Ensured(WithSlash(dataDir));
    if (programFolderWritable && !IsSystemBinaryFolder(WithSlash(programFolder)))
        return WithSlash(programFolder);
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    std::string config = EnvText("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') {
        const std::string home = HomeFolder();
        config = home.empty() ? std::string(".config") : WithSlash(home) + ".config";
    }
    return Ensured(WithSlash(config) + "m845tool/");
}

std::string DataFolder()
{
    const std::string programFolder = ProgramFolder();
    return ChooseDataFolder(programFolder, access(programFolder.c_str(), W_OK) == 0);
}

} // namespace m845
