#pragma once

// The program's command line. The window needs no option; these serve scripts and packaging.

#include <optional>
#include <string>
#include <vector>

namespace m845 {

struct TOptions
{
    bool help = false;
    bool version = false;
    // --lang zh|en: the language of this run only (the stored setting is left as it is).
    std::optional<bool> chinese;
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
