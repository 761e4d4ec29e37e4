#pragma once

// What the panel showed when it was last read, kept up to date on the panel: after a read-all
// (and after a file is loaded, which counts as read from the file) every control whose value
// then changes is marked with what it was, a value the read-all did not report is marked as not
// read from the device, and a value a verification found different on the device is marked
// with the device's value. A status line counts the changes. The marks follow the language.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

#include "protocol/panelvalues.h"

namespace m845 {

class TChangeMarks;
class TParamPanel;

class TChangeTracking final : public QObject
{
    Q_OBJECT
public:
    explicit TChangeTracking(TParamPanel &panel);
    ~TChangeTracking() override;

    // The panel as it stands is what was read; a device read names what it left out.
    void Read(TReadSource source, std::set<TCmd> notReported = {});
    // A verification's findings: the device's value of each parameter that differs.
    void SetDeviceValues(std::map<TCmd, std::string> deviceValues);

    [[nodiscard]] std::vector<TValueDifference> Changes() const;
    // "3 values changed since read", in the current language.
    [[nodiscard]] std::string StatusText() const;
    // One "NAME: was X, now Y" line per change.
    [[nodiscard]] std::vector<std::string> ChangeLines() const;

    // Shows the marks and the status line anew (after a change, in a new language).
    void Refresh();

private:
    TParamPanel &m_panel;
    std::unique_ptr<TChangeMarks> m_marks;
    TReadState m_read;
    std::map<TCmd, std::string> m_device;
    // The panel's values when the verification ran, to tell which field differed.
    TPanelValues m_verified;
};

} // namespace m845
