#pragma once

// Several ports at once: the checks made before any run starts, one process per port, and the
// exit code of the whole from those of its runs.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace m845 {

// The name a port's lines carry: the last part of its path ("ttyUSB0").
[[nodiscard]] std::string PortShortName(const std::string &port);

// The first reason the ports cannot run together: one given twice (also under two names of
// the same device), or a pattern the shell left as it was because nothing matched it. Empty
// when they can.
[[nodiscard]] std::string CheckPorts(const std::vector<std::string> &ports);

// The worst of several exit codes: 5 > 4 > 3 > 2 > 1 > 0 (cut off, no answer, no port, input
// refused, differences, done). An empty list is done.
[[nodiscard]] int WorstExit(const std::vector<int> &codes);

// A child's end as its parent sees it.
struct TChildEnd
{
    // The exit status, or -1 when it was ended by a signal or could not start.
    int exitCode = -1;
    int signal = 0;
    // The reason it could not start, when it could not.
    std::string startError;
};

// Starts program once per argument list, all at once, and waits for every one of them. The
// children keep the standard streams; an interrupt from the terminal reaches them, and their
// parent waits on until each has ended.
[[nodiscard]] std::vector<TChildEnd> RunChildren(const std::string &program,
                                                 const std::vector<std::vector<std::string>> &args);

// What the parent does for a child that left no word (ended by a signal, or never started): its
// report row, and the exit code it counts as.
[[nodiscard]] int ExitOfChild(const TChildEnd &end);
[[nodiscard]] std::string WhyChildEnded(const TChildEnd &end);

// The whole of a parallel run: each port's arguments run as a child of program; a child that
// left no row (ended by a signal, or never started) gets one from here when report names a
// file; then the summary on progress unless quiet. The worst of the exit codes.
[[nodiscard]] int RunPortsInParallel(const std::string &program,
                                     const std::vector<std::string> &ports,
                                     const std::vector<std::vector<std::string>> &args,
                                     const std::string &report, bool quiet, std::ostream &progress);

// The lines after a parallel run, one per port and the count: "ttyUSB0: PASS",
// "ttyUSB1: FAIL (exit 5)", "1 passed, 1 failed".
void PrintBatchSummary(std::ostream &out, const std::vector<std::string> &ports,
                       const std::vector<int> &codes);

} // namespace m845
