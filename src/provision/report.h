#pragma once

// The provisioning report: one row per device and run, appended to a file that parallel runs
// and later sessions share. A CSV file starts with its header line; a name ending in ".jsonl"
// holds the same fields as one JSON object per line. Each row is written whole under a lock.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace m845 {

inline constexpr std::string_view kReportHeader
    = "time,port,identity,iccid,sn,version,csq,result,details,seconds";

enum class TReportFormat : std::uint8_t { Csv, JsonLines };

struct TReportRow
{
    std::string time;
    std::string port;
    // The IMEI or MEID.
    std::string identity;
    std::string iccid;
    std::string sn;
    std::string version;
    std::string csq;
    bool pass = false;
    // The differences and refusals, or why the run failed, "; " between them.
    std::string details;
    double seconds = 0;
};

[[nodiscard]] TReportFormat ReportFormatOf(std::string_view path);
// "2026-03-05T14:03:07+01:00", the local time with its offset.
[[nodiscard]] std::string ReportTime(std::chrono::system_clock::time_point when);
// One line with its line end. Device text is shown as the progress lines show it (control
// bytes and bytes that are no UTF-8 as \xNN), so that a row stays one line.
[[nodiscard]] std::string FormatReportRow(const TReportRow &row, TReportFormat format);

struct TReportOutcome
{
    bool ok = true;
    std::string reason;
};

// Before any run: the file can be written (it is created when missing, with the CSV header),
// and a file that exists is a report of the same form.
[[nodiscard]] TReportOutcome PrepareReport(const std::string &path);
// Appends one row under an exclusive lock; a new or empty CSV file gets the header first.
[[nodiscard]] TReportOutcome AppendReportRow(const std::string &path, const TReportRow &row);

} // namespace m845
