#include "serial/portlist.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace m845 {

namespace {

namespace fs = std::filesystem;

// Serial-core ports report their UART type; 0 (PORT_UNKNOWN) means no chip answers there.
bool HasRealUart(const fs::path &ttyDir)
{
    std::ifstream typeFile(ttyDir / "type");
    if (!typeFile)
        return true; // not a serial-core port (USB, ACM ...): the device link is enough
    int type = -1;
    typeFile >> type;
    return !typeFile || type != 0;
}

// "ttyS10" after "ttyS9": compare the trailing numbers as numbers.
bool NaturalLess(const std::string &a, const std::string &b)
{
    auto split = [](const std::string &s) {
        std::size_t digits = s.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1])) != 0)
            --digits;
        return std::pair{s.substr(0, digits), s.substr(digits)};
    };
    const auto [stemA, numA] = split(a);
    const auto [stemB, numB] = split(b);
    if (stemA != stemB)
        return stemA < stemB;
    if (numA.size() != numB.size())
        return numA.size() < numB.size();
    return numA < numB;
}

} // namespace

std::vector<std::string> ReadPortNames()
{
    return ReadPortNames("/sys/class/tty", "/dev/serial/by-id");
}

std::vector<std::string> ReadPortNames(const std::string &ttyClassDir, const std::string &byIdDir)
{
    std::vector<std::string> ttys;
    std::error_code ec;
    for (fs::directory_iterator it(ttyClassDir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path dir = it->path();
        std::error_code linkEc;
        if (!fs::exists(dir / "device", linkEc) || !HasRealUart(dir))
            continue;
        ttys.push_back(dir.filename().string());
    }
    std::sort(ttys.begin(), ttys.end(), NaturalLess);

    std::vector<std::string> byId;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec))
        byId.push_back(it->path().string());
    std::sort(byId.begin(), byId.end());

    ttys.insert(ttys.end(), byId.begin(), byId.end());
    return ttys;
}

std::string ResolvePortName(const std::string &name)
{
    return ResolvePortName(name, "/dev", "/dev/serial/by-id");
}

std::string ResolvePortName(const std::string &name, const std::string &devDir,
                            const std::string &byIdDir)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return name;
    std::error_code ec;
    if (fs::exists(fs::path(devDir) / name, ec))
        return name;
    const fs::path byId = fs::path(byIdDir) / name;
    if (fs::exists(byId, ec))
        return byId.string();
    return name;
}

std::string PortTarget(const std::string &path)
{
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? std::string() : target.string();
}

std::vector<std::string> StableLinksTo(const std::string &path, const std::string &byIdDir)
{
    std::vector<std::string> links;
    const std::string target = PortTarget(path);
    if (target.empty())
        return links;
    std::error_code ec;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (PortTarget(it->path().string()) == target)
            links.push_back(it->path().string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

} // namespace m845
