#pragma once

// The program's command line. The window needs no option; these serve scripts, packaging and
// the provisioning runs that read a device into a file or write a file into a device.

#include <optional>
#include <string>
#include <vector>

namespace m845 {

// How long a provisioning run may take unless --timeout says otherwise.
inline constexpr int kDefaultTimeoutSeconds = 60;

struct TOptions
{
    bool help = false;
    bool version = false;
    // --lang zh|en: the language of this run only (the stored setting is left as it is).
    std::optional<bool> chinese;

    // --port PORT with --read FILE or --write FILE: one provisioning run, no window.
    std::string port;
    std::string readFile;
    std::string writeFile;
    std::optional<int> baud;
    std::optional<int> timeoutSeconds;
    bool quiet = false;
    // Hidden, for tests: the pause before each queued line and the reply timer, in ms.
    std::optional<int> pauseMs;
    std::optional<int> replyMs;

    [[nodiscard]] bool Provisioning() const { return !port.empty(); }
};

struct TParseResult
{
    TOptions options;
    // Empty when the command line was understood.
    std::string error;
};

// args: the arguments after the program name. Arguments of a single dash (Qt's own, such as
// -platform offscreen) are left to the application object and skipped here when
// skipSingleDash is set; otherwise they are errors, as is anything unknown.
[[nodiscard]] TParseResult ParseOptions(const std::vector<std::string> &args, bool skipSingleDash);
[[nodiscard]] std::string HelpText(const std::string &program);
[[nodiscard]] std::string VersionLine();

} // namespace m845
