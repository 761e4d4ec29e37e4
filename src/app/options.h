#pragma once

// The program's command line. The window needs no option; these serve scripts, packaging and
// the provisioning runs that read a device into a file or write a file into a device.

#include <optional>
#include <string>
#include <vector>

namespace m845 {

// How long a provisioning run may take unless --timeout says otherwise.
inline constexpr int kDefaultTimeoutSeconds = 60;
// A firmware image takes minutes at the lower baud rates.
inline constexpr int kDefaultFirmwareTimeoutSeconds = 600;

struct TOptions
{
    bool help = false;
    bool version = false;
    // --lang zh|en: the language of this run only (the stored setting is left as it is).
    std::optional<bool> chinese;

    // --port PORT... with a job: --read FILE (or DIR/), --write FILE, --verify FILE and/or
    // --firmware IMAGE. Several ports run in parallel, one process each.
    std::vector<std::string> ports;
    std::string readFile;
    std::string writeFile;
    std::string verifyFile;
    std::string firmwareFile;
    std::optional<std::string> expectVersion;
    // --report FILE: one row per device and run appended (CSV, or JSON lines for *.jsonl).
    std::string reportFile;
    // --station: devices arrive one after another on the one port.
    bool station = false;
    std::optional<int> baud;
    std::optional<int> timeoutSeconds;
    bool quiet = false;
    // Hidden, for tests: the pause before each queued line, the reply timer and the pause
    // between a station's probes, in ms.
    std::optional<int> pauseMs;
    std::optional<int> replyMs;
    std::optional<int> probeMs;
    // Hidden: the name a run of several ports puts before each of its lines.
    std::string prefix;

    [[nodiscard]] bool Provisioning() const { return !ports.empty(); }
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
// The arguments of the run of one of several ports: the options as parsed, with that port alone
// and the prefix of its lines.
[[nodiscard]] std::vector<std::string>
ChildArguments(const TOptions &options, const std::string &port, const std::string &prefix);
[[nodiscard]] std::string HelpText(const std::string &program);
[[nodiscard]] std::string VersionLine();

} // namespace m845
