#include "protocol/panelvalues.h"

#include <algorithm>
#include <array>

#include "lang/langlist.h"
#include "protocol/parameters.h"

namespace m845 {

namespace {

constexpr std::array<std::string_view, 4> kModeWords = {"NET", "HTTPD", "SMS", "UDC"};

// Plain comma fields, empty ones kept: the panel's fields as PanelValue joined them.
std::vector<std::string> Fields(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at = text.find(',');; at = text.find(',', start)) {
        out.emplace_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos)
            return out;
        start = at + 1;
    }
}

} // namespace

const std::vector<TCmd> &SetParameters()
{
    static const std::vector<TCmd> commands = [] {
        std::vector<TCmd> out;
        for (const TParameter &p : Parameters()) {
            if (p.writtenIn != 0)
                out.push_back(p.cmd);
        }
        return out;
    }();
    return commands;
}

TPanelValues TakePanelValues(const IPanel &panel)
{
    TPanelValues values;
    for (const TCmd cmd : SetParameters())
        values[cmd] = PanelValue(panel, cmd, TCmd::IMEI);
    return values;
}

std::vector<TValueDifference> Differences(const TPanelValues &before, const TPanelValues &after)
{
    const auto valueIn = [](const TPanelValues &values, TCmd cmd) {
        const auto found = values.find(cmd);
        return found == values.end() ? std::nullopt : found->second;
    };
    std::vector<TValueDifference> out;
    for (const TCmd cmd : SetParameters()) {
        auto was = valueIn(before, cmd);
        auto now = valueIn(after, cmd);
        if (was != now)
            out.push_back({cmd, std::move(was), std::move(now)});
    }
    return out;
}

std::string ShownValue(const std::optional<std::string> &value)
{
    if (!value)
        return LangText("info_NoValue");
    return value->empty() ? std::string("\"\"") : *value;
}

std::vector<std::string> ControlsOf(TCmd cmd)
{
    const TParameter *parameter = FindParameter(cmd);
    if (parameter == nullptr || parameter->control.empty())
        return {};
    return Fields(parameter->control);
}

std::vector<std::string> ShowingControls(TCmd cmd, const std::optional<std::string> &now)
{
    std::vector<std::string> controls = ControlsOf(cmd);
    if (cmd == TCmd::WKMOD && now) {
        // The radio buttons stand in the order of the mode words.
        const auto word = std::find(kModeWords.begin(), kModeWords.end(), *now);
        const auto index = static_cast<std::size_t>(word - kModeWords.begin());
        if (word != kModeWords.end() && index < controls.size())
            return {controls[index]};
    }
    return controls;
}

std::vector<TFieldDifference> DifferingControls(TCmd cmd, const std::optional<std::string> &before,
                                                const std::optional<std::string> &now)
{
    const std::vector<std::string> controls = ShowingControls(cmd, now);
    const auto whole = [&] {
        std::vector<TFieldDifference> out;
        for (const std::string &control : controls)
            out.push_back({control, before, now});
        return out;
    };
    if (controls.size() < 2 || !before || !now || cmd == TCmd::WKMOD)
        return whole();
    // A compound value: one control per field (UART's flow box has no field of its own).
    const std::vector<std::string> was = Fields(*before);
    const std::vector<std::string> is = Fields(*now);
    if (was.size() != is.size() || is.size() > controls.size())
        return whole();
    std::vector<TFieldDifference> out;
    for (std::size_t i = 0; i < is.size(); ++i) {
        if (was[i] != is[i])
            out.push_back({controls[i], was[i], is[i]});
    }
    return out;
}

void TReadState::Read(TPanelValues values, TReadSource source, std::set<TCmd> notReported)
{
    m_values = std::move(values);
    m_source = source;
    m_notReported = std::move(notReported);
}

std::vector<TValueDifference> TReadState::Changes(const TPanelValues &now) const
{
    return Differences(m_values, now);
}

std::set<TCmd> NotReported(const std::set<std::string> &reportedNames)
{
    std::set<TCmd> out;
    for (const TCmd cmd : SetParameters()) {
        if (!reportedNames.contains(std::string(CmdName(cmd))))
            out.insert(cmd);
    }
    return out;
}

} // namespace m845
