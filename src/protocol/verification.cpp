#include "protocol/verification.h"

#include <algorithm>

#include "lang/langlist.h"
#include "protocol/panelvalues.h"
#include "protocol/readback.h"
#include "protocol/setall.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

void TVerification::Prepare(const IPanel &panel)
{
    m_items.clear();
    // The list is the write-all's own, not a copy of its rules: what would be written is what
    // is checked.
    BuildSetAll(panel, TCmd::IMEI);
    for (int i = 0; i < QueueCount(); ++i) {
        const std::string line = QueueEntry(i);
        std::string value;
        const TCmd cmd = CmdOfName(CommandOfLine(line));
        if (SetLineValue(line, value) && static_cast<int>(cmd) < kCmdCount)
            m_items.push_back({cmd, GbkToUtf8(value), std::nullopt, false});
    }
    QueueClear();
    for (const TItem &item : m_items)
        QueueAddQuery(item.cmd);
}

TVerification::TItem *TVerification::Find(std::string_view name)
{
    const auto found = std::find_if(m_items.begin(), m_items.end(), [name](const TItem &item) {
        return EqualsNoCase(CmdName(item.cmd), name);
    });
    return found == m_items.end() ? nullptr : &*found;
}

bool TVerification::Takes(std::string_view name) const
{
    return std::any_of(m_items.begin(), m_items.end(),
                       [name](const TItem &item) { return EqualsNoCase(CmdName(item.cmd), name); });
}

void TVerification::Answer(std::string_view name, std::string_view value)
{
    if (TItem *item = Find(name))
        item->device = std::string(value);
}

void TVerification::Refused(std::string_view command)
{
    if (TItem *item = Find(command))
        item->refused = true;
}

int TVerification::Settled() const
{
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [](const TItem &item) {
        return item.refused || item.device.has_value();
    }));
}

bool TVerification::ItemDiffers(const TItem &item)
{
    return !item.refused && item.device && !ShowsSame(item.cmd, item.panel, *item.device);
}

std::vector<const TVerification::TItem *> TVerification::Differing() const
{
    std::vector<const TItem *> out;
    for (const TItem &item : m_items) {
        if (ItemDiffers(item))
            out.push_back(&item);
    }
    return out;
}

std::vector<std::string> TVerification::ProblemLines() const
{
    std::vector<std::string> lines;
    for (const TItem &item : m_items) {
        const std::string name(CmdName(item.cmd));
        if (item.refused)
            lines.push_back(LangFormat("info_VerifyRefused", {name}));
        else if (!item.device)
            lines.push_back(LangFormat("info_VerifyNoValue", {name}));
        else if (ItemDiffers(item))
            lines.push_back(LangFormat("info_VerifyDiffers",
                                       {name, ShownValue(item.panel), ShownValue(*item.device)}));
    }
    return lines;
}

std::string TVerification::Summary(bool *allMatch) const
{
    const auto count = [this](auto predicate) {
        return std::to_string(std::count_if(m_items.begin(), m_items.end(), predicate));
    };
    const std::string total = std::to_string(m_items.size());
    const std::string differ = count([](const TItem &item) { return ItemDiffers(item); });
    const std::string unverified
        = count([](const TItem &item) { return item.refused || !item.device; });
    const bool same = differ == "0" && unverified == "0";
    if (allMatch != nullptr)
        *allMatch = same;
    if (same)
        return LangFormat("info_VerifyAllMatch", {total});
    std::string line = LangFormat("info_VerifyDiffer", {differ, total});
    if (unverified != "0")
        line += LangFormat("info_VerifyNotVerified", {unverified});
    return line;
}

std::string TVerification::StoppedLine(TRunEnd end, std::string_view command)
{
    switch (end) {
    case TRunEnd::LineLost:
        return LangText("info_VerifyLost");
    case TRunEnd::DeviceSilent:
        return LangFormat("info_VerifySilent", {command});
    case TRunEnd::NotUnderstood:
        return LangFormat("info_VerifyNotUnderstood", {command});
    case TRunEnd::Abandoned:
    case TRunEnd::Completed:
    case TRunEnd::Refused:
        break;
    }
    return LangText("info_VerifyAbandoned");
}

} // namespace m845
