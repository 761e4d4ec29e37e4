#pragma once

// Checking a device against the panel: every value "Set current parameters" would write now is
// asked for, and each answer is compared with the panel as the read-back compares, as the panel
// would show both.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel.h"
#include "protocol/commands.h"
#include "protocol/sequencer.h"

namespace m845 {

class TVerification final
{
public:
    struct TItem
    {
        TCmd cmd = TCmd::E;
        std::string panel; // UTF-8, as the set line carries it
        std::optional<std::string> device;
        bool refused = false;
    };

    // Builds the write-all list as the button builds it (registration type 1 as IMEI) and
    // leaves the queue holding one query per line, in the same order. Nothing is sent.
    void Prepare(const IPanel &panel);

    // A value of a command being verified (the others are none of its business).
    [[nodiscard]] bool Takes(std::string_view name) const;
    void Answer(std::string_view name, std::string_view value);
    // command: the refused entry as queued ("HTPURL").
    void Refused(std::string_view command);

    [[nodiscard]] const std::vector<TItem> &Items() const { return m_items; }
    // Answered or refused so far.
    [[nodiscard]] int Settled() const;
    // The values that differ, in the list's order.
    [[nodiscard]] std::vector<const TItem *> Differing() const;

    // A completed run: one line per difference or value not verified, in the list's order...
    [[nodiscard]] std::vector<std::string> ProblemLines() const;
    // ...and the closing line; false in allMatch when any value differs or was not verified.
    [[nodiscard]] std::string Summary(bool *allMatch = nullptr) const;
    // A run that ended without an answer to every query: why, and that there is no result.
    [[nodiscard]] static std::string StoppedLine(TRunEnd end, std::string_view command);

private:
    [[nodiscard]] TItem *Find(std::string_view name);
    [[nodiscard]] static bool ItemDiffers(const TItem &item);

    std::vector<TItem> m_items;
};

} // namespace m845
