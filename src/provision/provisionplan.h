#pragma once

// What a provisioning run decides without a window: the keys a file must hold before anything
// is written, whether a read brought every value its file will later write, what the file of a
// read keeps, the read-back's report, and the exit code of each way a run can end.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/commands.h"

namespace m845 {

class IPanel;
class TIniFile;

// The exit codes of a run.
enum TProvisionExit : int {
    kProvisionDone = 0,
    kProvisionDiffers = 1,  // refused lines, values that read back different, values not read
    kProvisionBadInput = 2, // usage, or a file that must not reach a device; nothing sent
    kProvisionNoPort = 3,   // the port cannot be opened
    kProvisionNoAnswer = 4, // the device answers nothing, not even the entry pair
    kProvisionCutOff = 5,   // the run started and was cut off: line lost, silence, time-out
};

// What the device said in one part of a run, by command name.
struct TDeviceAnswers
{
    // The value each answer applied (UTF-8), the last one per command.
    std::map<std::string, std::string> values;
    // Each refusal in the order it came: command, the device's line.
    std::vector<std::pair<std::string, std::string>> refusals;

    [[nodiscard]] const std::string *RefusalOf(std::string_view name) const;
    [[nodiscard]] const std::string *ValueOf(std::string_view name) const;
};

// The file's section and key of each command the write-all sends ("[Heart] HEARTEN"), for
// those the file lacks: a write must not send a built-in default in their place.
[[nodiscard]] std::vector<std::string> MissingKeys(const TIniFile &ini,
                                                   const std::vector<TCmd> &written);

// What makes a read unfit to be copied into other devices, one line per command, in the order
// asked: a refused query, an answer that brought no value, and a value the panel cannot show as
// the device reported it among those the write-all would send (written, with the work mode).
[[nodiscard]] std::vector<std::string> ReadProblems(const std::vector<TCmd> &queried,
                                                    const TDeviceAnswers &answers,
                                                    const std::vector<TCmd> &written,
                                                    const IPanel &panel, TCmd identityCmd);

// The file of a read keeps what the device reported: the key of every parameter it was not
// asked for, or gave no value for, goes.
void DropUnreported(TIniFile &ini, const TDeviceAnswers &answers);

struct TWrittenLine
{
    std::string name;
    std::string value;
};

// One thing a check found: the line for standard output, and the same in brief for the report
// ("SOCKATO: device refused (+ERR:-3)"; the value written is the file's).
struct TFinding
{
    std::string line;
    std::string brief;
};

// The read-back's report: one finding per written value that was refused, whose query was
// refused, that brought no value, or that reads back different. A verification writes nothing
// (writing is empty): its lines name the file's value instead of a written one.
[[nodiscard]] std::vector<TFinding> ReadBackFindings(const std::vector<TWrittenLine> &written,
                                                     const TDeviceAnswers &writing,
                                                     const TDeviceAnswers &checking,
                                                     bool verify = false);
[[nodiscard]] std::vector<std::string> ReadBackLines(const std::vector<TWrittenLine> &written,
                                                     const TDeviceAnswers &writing,
                                                     const TDeviceAnswers &checking);

// The commands of queued set lines, in their order ("+++" and "a" left out).
[[nodiscard]] std::vector<TCmd> QueuedSetCommands();
// How many set lines lie before the cursor: answered one way or the other.
[[nodiscard]] int SetLinesBeforeCursor();

} // namespace m845
