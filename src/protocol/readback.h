#pragma once

// Checking what a write-all run wrote against the device's answers to queries of the same
// commands, compared as the parameter panel would show the two values.

#include <string>
#include <string_view>

#include "protocol/commands.h"

namespace m845 {

// The command name of a queued line: "AT+NAME=value" or "AT+NAME?" (with or without its line
// end); empty for anything else ("+++", "a").
[[nodiscard]] std::string CommandOfLine(std::string_view line);
// The value of a set line "AT+NAME=value" without its line end; false for any other line.
[[nodiscard]] bool SetLineValue(std::string_view line, std::string &value);
// The device's refusal as one line: from "+ERR:" to the end of its line, or the whole block
// without line breaks when it holds no "+ERR:".
[[nodiscard]] std::string RefusalText(std::string_view block);

// True when the reply would show in the panel as the written value did: list boxes ignore
// letter case, the work mode follows the panel's rule, and a UART reply with the flow field
// compares on the written fields. Every other value compares exactly.
[[nodiscard]] bool ShowsSame(TCmd cmd, std::string_view written, std::string_view reply);

// The report lines of a check.
[[nodiscard]] std::string DifferenceLine(std::string_view name, std::string_view written,
                                         std::string_view reply);
[[nodiscard]] std::string RefusedWriteLine(std::string_view name, std::string_view written,
                                           std::string_view refusal);
[[nodiscard]] std::string RefusedQueryLine(std::string_view name, std::string_view written,
                                           std::string_view refusal);
[[nodiscard]] std::string NoValueLine(std::string_view name, std::string_view written);
// A query of a read-all run that the device refused: the file would hold a default instead.
[[nodiscard]] std::string RefusedReadLine(std::string_view name, std::string_view refusal);

} // namespace m845
