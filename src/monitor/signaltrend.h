#pragma once

// The signal readings of a session: each poll's sample, the figures of a span of them, and
// the signal log file a technician keeps for a site report.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace m845 {

struct TSignalSample
{
    std::int64_t atMs = 0;   // the monitor's clock, for the trend
    std::int64_t wallMs = 0; // milliseconds since 1970, for the file
    std::optional<int> csq;  // 0..31 or 99; nothing when the reading is unknown
    // Each socket's link as last reported when the sample was taken (LinkWord).
    std::string linkA;
    std::string linkB;
};

// Minimum, average and maximum in dBm of the samples that carry a signal (CSQ 0..31).
struct TSpanStats
{
    int count = 0;
    int minDbm = 0;
    int maxDbm = 0;
    double averageDbm = 0;
};

// About two days at the default poll period; the oldest samples go first.
inline constexpr std::size_t kSignalSampleCapacity = 100000;

class TSignalTrend final
{
public:
    explicit TSignalTrend(std::size_t capacity = kSignalSampleCapacity);

    void Add(TSignalSample sample);
    [[nodiscard]] const std::deque<TSignalSample> &Samples() const { return m_samples; }
    [[nodiscard]] bool Empty() const { return m_samples.empty(); }
    // The samples taken at fromMs or later.
    [[nodiscard]] TSpanStats Stats(std::int64_t fromMs) const;

private:
    std::size_t m_capacity;
    std::deque<TSignalSample> m_samples;
};

// The samples as CSV, one line per sample after a header: local time, CSQ, dBm, band and the
// two sockets' links; an unknown reading leaves CSQ and dBm empty.
[[nodiscard]] std::string SignalCsv(const std::deque<TSignalSample> &samples);
inline constexpr std::string_view kSignalCsvHeader = "time,CSQ,dBm,band,socket A,socket B\r\n";
// One sample's line, appended to out.
void AppendSignalCsvLine(const TSignalSample &sample, std::string &out);

} // namespace m845
