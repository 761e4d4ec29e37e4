#pragma once

// What the firmware upgrade needs from the window: the two check marks of its options menu
// and the file-open dialog.

#include <optional>
#include <string>
#include <vector>

namespace m845 {

struct TFileDialogRequest
{
    std::string title;
    // In the order shown, each "Name(*.ext)"; the first is selected.
    std::vector<std::string> filters;
    // Added to a typed name that has none.
    std::string defaultSuffix;
    std::string folder;
};

class IFirmwareWindow
{
public:
    virtual ~IFirmwareWindow() = default;
    // mniOverRestart: tell the boot loader to restart after a successful upgrade.
    [[nodiscard]] virtual bool OverRestart() const = 0;
    // ShowDataStream: trace every byte of the transfer in the log.
    [[nodiscard]] virtual bool ShowDataStream() const = 0;
    // Shows the dialog modally: the full path of the chosen file, nothing when cancelled.
    [[nodiscard]] virtual std::optional<std::string>
    AskFirmwareFile(const TFileDialogRequest &request) = 0;
};

} // namespace m845
