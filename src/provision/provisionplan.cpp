#include "provision/provisionplan.h"

#include <algorithm>
#include <optional>
#include <set>

#include "config/inifile.h"
#include "core/panel.h"
#include "protocol/parameters.h"
#include "protocol/readback.h"

namespace m845 {

namespace {

std::string Shown(const std::optional<std::string> &value)
{
    return value ? *value : std::string("(nothing)");
}

} // namespace

const std::string *TDeviceAnswers::RefusalOf(std::string_view name) const
{
    for (const auto &[command, refusal] : refusals) {
        if (command == name)
            return &refusal;
    }
    return nullptr;
}

const std::string *TDeviceAnswers::ValueOf(std::string_view name) const
{
    const auto found = values.find(std::string(name));
    return found == values.end() ? nullptr : &found->second;
}

std::vector<std::string> MissingKeys(const TIniFile &ini, const std::vector<TCmd> &written)
{
    std::vector<std::string> missing;
    for (TCmd cmd : written) {
        const TParameter *row = FindParameter(cmd);
        // Registration type 1 is written as the identity the device has, kept as its type.
        if (row == nullptr || row->key.empty() || ini.Value(row->section, row->key))
            continue;
        std::string key = "[" + std::string(row->section) + "] " + std::string(row->key);
        if (std::find(missing.begin(), missing.end(), key) == missing.end())
            missing.push_back(std::move(key));
    }
    return missing;
}

std::vector<std::string> ReadProblems(const std::vector<TCmd> &queried,
                                      const TDeviceAnswers &answers,
                                      const std::vector<TCmd> &written, const IPanel &panel,
                                      TCmd identityCmd)
{
    std::vector<std::string> lines;
    std::set<TCmd> checked(written.begin(), written.end());
    // The mode decides what a copy writes: it must be one the panel can show.
    checked.insert(TCmd::WKMOD);
    for (TCmd cmd : queried) {
        const std::string name(CmdName(cmd));
        if (const std::string *refusal = answers.RefusalOf(name)) {
            lines.push_back(RefusedReadLine(name, *refusal));
            continue;
        }
        const std::string *value = answers.ValueOf(name);
        if (value == nullptr) {
            lines.push_back(name + ": no value came back (the answer was not understood)");
            continue;
        }
        if (checked.count(cmd) == 0)
            continue;
        const std::optional<std::string> shown = PanelValue(panel, cmd, identityCmd);
        if (!shown || !ShowsSame(cmd, *shown, *value))
            lines.push_back(name + ": device has " + *value + ", the panel would write "
                            + Shown(shown));
    }
    return lines;
}

void DropUnreported(TIniFile &ini, const TDeviceAnswers &answers)
{
    // A key of several commands (the identity's) stays when any of them was reported.
    std::set<std::pair<std::string_view, std::string_view>> reported;
    for (const TParameter &row : Parameters()) {
        if (!row.key.empty() && answers.ValueOf(CmdName(row.cmd)) != nullptr)
            reported.emplace(row.section, row.key);
    }
    for (const TParameter &row : Parameters()) {
        if (!row.key.empty() && reported.count({row.section, row.key}) == 0)
            ini.RemoveKey(row.section, row.key);
    }
}

std::vector<TFinding> ReadBackFindings(const std::vector<TWrittenLine> &written,
                                       const TDeviceAnswers &writing,
                                       const TDeviceAnswers &checking, bool verify)
{
    std::vector<TFinding> found;
    for (const TWrittenLine &w : written) {
        const std::string valueText = (verify ? ": file has " : ": wrote ") + w.value + ", ";
        if (const std::string *refusal = writing.RefusalOf(w.name)) {
            found.push_back({RefusedWriteLine(w.name, w.value, *refusal),
                             w.name + ": device refused (" + *refusal + ")"});
        } else if (const std::string *queryRefusal = checking.RefusalOf(w.name)) {
            const std::string brief = RefusedReadLine(w.name, *queryRefusal);
            found.push_back({verify ? w.name + valueText + brief.substr(w.name.size() + 2)
                                    : RefusedQueryLine(w.name, w.value, *queryRefusal),
                             brief});
        } else if (const std::string *value = checking.ValueOf(w.name); value == nullptr) {
            const std::string line = verify ? w.name + valueText + "device gave no value"
                                            : NoValueLine(w.name, w.value);
            found.push_back({line, w.name + ": device gave no value"});
        } else if (!ShowsSame(CmdOfName(w.name), w.value, *value)) {
            const std::string line = verify ? w.name + valueText + "device has " + *value
                                            : DifferenceLine(w.name, w.value, *value);
            found.push_back({line, line});
        }
    }
    return found;
}

std::vector<std::string> ReadBackLines(const std::vector<TWrittenLine> &written,
                                       const TDeviceAnswers &writing,
                                       const TDeviceAnswers &checking)
{
    std::vector<std::string> lines;
    for (TFinding &finding : ReadBackFindings(written, writing, checking))
        lines.push_back(std::move(finding.line));
    return lines;
}

std::vector<TCmd> QueuedSetCommands()
{
    std::vector<TCmd> out;
    for (int i = 0; i < QueueCount(); ++i) {
        std::string value;
        if (SetLineValue(QueueEntry(i), value))
            out.push_back(CmdOfName(CommandOfLine(QueueEntry(i))));
    }
    return out;
}

int SetLinesBeforeCursor()
{
    int count = 0;
    for (int i = 0; i < QueueCursor && i < QueueCount(); ++i) {
        std::string value;
        if (SetLineValue(QueueEntry(i), value))
            ++count;
    }
    return count;
}

} // namespace m845
