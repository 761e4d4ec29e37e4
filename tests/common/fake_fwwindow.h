#pragma once

// The firmware upgrade's window access as plain state: the two option marks, and a file dialog
// that gives a prepared answer and keeps what it was asked.

#include <optional>
#include <string>
#include <vector>

#include "core/firmwarewindow.h"

namespace m845::test {

class TFakeFirmwareWindow final : public IFirmwareWindow
{
public:
    [[nodiscard]] bool OverRestart() const override { return overRestart; }
    [[nodiscard]] bool ShowDataStream() const override { return showDataStream; }
    [[nodiscard]] std::optional<std::string>
    AskFirmwareFile(const TFileDialogRequest &request) override
    {
        asked.push_back(request);
        return answer;
    }

    bool overRestart = true;
    bool showDataStream = false;
    std::optional<std::string> answer;
    std::vector<TFileDialogRequest> asked;
};

} // namespace m845::test
