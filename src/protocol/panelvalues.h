#pragma once

// The panel's values in the parameter table's terms: a snapshot of what the panel shows, what
// has changed since it was last read (from the device or a file), and how two snapshots differ.
// The window marks the controls from this; the comparisons themselves need no window.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel.h"
#include "protocol/commands.h"

namespace m845 {

// The parameters a technician sets: every one a write-all sends in some work mode, in the
// table's order.
[[nodiscard]] const std::vector<TCmd> &SetParameters();

// Each set parameter's value as the write-all would send it (registration type 1 as IMEI,
// which the write-all always names); nothing where the panel holds none (no work mode, no
// registration type).
using TPanelValues = std::map<TCmd, std::optional<std::string>>;
[[nodiscard]] TPanelValues TakePanelValues(const IPanel &panel);

struct TValueDifference
{
    TCmd cmd = TCmd::E;
    std::optional<std::string> before; // the panel when read, or the panel against a file
    std::optional<std::string> after;  // the panel now, or the file
};

// The parameters whose values differ, in the table's order; one missing from either side
// counts as holding nothing.
[[nodiscard]] std::vector<TValueDifference> Differences(const TPanelValues &before,
                                                        const TPanelValues &after);

// A value in a report line or a hint: "" for an empty one, "(none)" for none.
[[nodiscard]] std::string ShownValue(const std::optional<std::string> &value);

// The controls that show a parameter (the table's control column), by the window's names.
[[nodiscard]] std::vector<std::string> ControlsOf(TCmd cmd);
struct TFieldDifference
{
    std::string control;
    std::optional<std::string> before, now; // the control's field, or the whole value
};
// The controls that show the difference: for a compound value those of the fields that
// differ, with their fields; for the work mode the button of the mode now shown; every control
// of the parameter, with the whole values, where the fields cannot be told apart.
[[nodiscard]] std::vector<TFieldDifference>
DifferingControls(TCmd cmd, const std::optional<std::string> &before,
                  const std::optional<std::string> &now);
// The controls that show a parameter's value as it is now (the checked work-mode button).
[[nodiscard]] std::vector<std::string> ShowingControls(TCmd cmd,
                                                       const std::optional<std::string> &now);

enum class TReadSource : std::uint8_t {
    Start,  // the panel as the program started (the configuration file at start)
    Device, // a read-all
    File,   // a file opened at run time, or the defaults
};

// What the panel showed when it was last read.
class TReadState final
{
public:
    // A read has ended: the panel's values now are the read ones. notReported names the set
    // parameters a device read left out (never queried, refused, cut short).
    void Read(TPanelValues values, TReadSource source, std::set<TCmd> notReported = {});

    // What the panel holds now that it did not when read: before is the read value.
    [[nodiscard]] std::vector<TValueDifference> Changes(const TPanelValues &now) const;
    [[nodiscard]] bool NotRead(TCmd cmd) const { return m_notReported.contains(cmd); }
    [[nodiscard]] TReadSource Source() const { return m_source; }
    [[nodiscard]] const std::set<TCmd> &NotReported() const { return m_notReported; }

private:
    TPanelValues m_values;
    TReadSource m_source = TReadSource::Start;
    std::set<TCmd> m_notReported;
};

// The set parameters a read-all left out, given the names of the values it reported.
[[nodiscard]] std::set<TCmd> NotReported(const std::set<std::string> &reportedNames);

} // namespace m845
