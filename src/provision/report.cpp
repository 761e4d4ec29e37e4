#include "provision/report.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

std::string JsonString(std::string_view raw)
{
    std::string out = "\"";
    for (const char c : EscapeToOneLine(raw)) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

std::string Seconds(double seconds)
{
    // Not printf: the program's locale may write a decimal comma, which would split a CSV cell.
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                         seconds < 0 ? 0.0 : seconds, std::chars_format::fixed, 1);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0.0");
}

TReportOutcome Failed(const std::string &reason)
{
    return {false, reason};
}

bool WriteWhole(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Opens the report, holds its lock while work runs, and gives a new CSV file its header.
TReportOutcome WithLockedReport(const std::string &path,
                                const std::function<TReportOutcome(int fd, off_t size)> &work)
{
    // Not blocking on the open: a FIFO by that name must not hang the run before it starts.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return Failed(std::strerror(errno));
    TReportOutcome outcome;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        outcome = Failed(std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
        outcome = Failed("not a regular file");
    } else {
        int locked = -1;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        // The size counts only once the lock is held: another run may just have begun the file.
        if (locked != 0 || ::fstat(fd, &info) != 0) {
            outcome = Failed(std::strerror(errno));
        } else if (info.st_size == 0 && ReportFormatOf(path) == TReportFormat::Csv
                   && !WriteWhole(fd, std::string(kReportHeader) + '\n')) {
            outcome = Failed(std::strerror(errno));
        } else {
            outcome = work(fd, info.st_size);
        }
    }
    ::close(fd); // releases the lock
    return outcome;
}

} // namespace

TReportFormat ReportFormatOf(std::string_view path)
{
    constexpr std::string_view kJsonLines = ".jsonl";
    return path.size() > kJsonLines.size()
                   && EqualsNoCase(path.substr(path.size() - kJsonLines.size()), kJsonLines)
               ? TReportFormat::JsonLines
               : TReportFormat::Csv;
}

std::string ReportTime(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    std::array<char, 40> buffer{};
    const std::size_t n
        = std::strftime(buffer.data(), buffer.size(), "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string text(buffer.data(), n);
    // +0100 as +01:00, as ISO 8601 writes the offset beside a time with colons.
    if (text.size() >= 5)
        text.insert(text.size() - 2, 1, ':');
    return text;
}

std::string FormatReportRow(const TReportRow &row, TReportFormat format)
{
    const std::string result = row.pass ? "PASS" : "FAIL";
    const std::string seconds = Seconds(row.seconds);
    const std::array<std::pair<std::string_view, const std::string *>, 9> texts{{
        {"time", &row.time},
        {"port", &row.port},
        {"identity", &row.identity},
        {"iccid", &row.iccid},
        {"sn", &row.sn},
        {"version", &row.version},
        {"csq", &row.csq},
        {"result", &result},
        {"details", &row.details},
    }};
    std::string line;
    if (format == TReportFormat::Csv) {
        for (const auto &[name, value] : texts)
            line += CsvField(*value) + ',';
        return line + seconds + '\n';
    }
    line = "{";
    for (const auto &[name, value] : texts)
        line += JsonString(name) + ':' + JsonString(*value) + ',';
    return line + "\"seconds\":" + seconds + "}\n";
}

TReportOutcome PrepareReport(const std::string &path)
{
    return WithLockedReport(path, [&path](int fd, off_t size) -> TReportOutcome {
        if (size == 0)
            return {};
        const bool csv = ReportFormatOf(path) == TReportFormat::Csv;
        const std::string expected = csv ? std::string(kReportHeader) + '\n' : std::string("{");
        std::string start(expected.size(), '\0');
        const ssize_t n = ::pread(fd, start.data(), start.size(), 0);
        if (n < 0)
            return Failed(std::strerror(errno));
        start.resize(static_cast<std::size_t>(n));
        if (start != expected)
            return Failed(csv ? "its first line is not the report's header"
                              : "it holds no JSON lines");
        return {};
    });
}

TReportOutcome AppendReportRow(const std::string &path, const TReportRow &row)
{
    return WithLockedReport(path, [&](int fd, off_t) -> TReportOutcome {
        // One write for the whole row, and on the disk before the lock goes.
        if (!WriteWhole(fd, FormatReportRow(row, ReportFormatOf(path))) || ::fdatasync(fd) != 0)
            return Failed(std::strerror(errno));
        return {};
    });
}

} // namespace m845
