#include "monitor/signaltrend.h"

#include <algorithm>
#include <ctime>

#include "monitor/signalreading.h"
#include "support/encoding.h"

namespace m845 {

namespace {

std::string LocalTime(std::int64_t wallMs)
{
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    std::tm parts{};
    if (localtime_r(&seconds, &parts) == nullptr)
        return {};
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

} // namespace

TSignalTrend::TSignalTrend(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1))
{}

void TSignalTrend::Add(TSignalSample sample)
{
    if (m_samples.size() >= m_capacity)
        m_samples.pop_front();
    m_samples.push_back(std::move(sample));
}

TSpanStats TSignalTrend::Stats(std::int64_t fromMs) const
{
    TSpanStats stats;
    long long sum = 0;
    // Newest first: a span is the end of a long session.
    for (auto it = m_samples.rbegin(); it != m_samples.rend() && it->atMs >= fromMs; ++it) {
        const std::optional<int> dbm = it->csq ? CsqToDbm(*it->csq) : std::nullopt;
        if (!dbm)
            continue;
        stats.minDbm = stats.count == 0 ? *dbm : std::min(stats.minDbm, *dbm);
        stats.maxDbm = stats.count == 0 ? *dbm : std::max(stats.maxDbm, *dbm);
        sum += *dbm;
        ++stats.count;
    }
    if (stats.count > 0)
        stats.averageDbm = static_cast<double>(sum) / stats.count;
    return stats;
}

void AppendSignalCsvLine(const TSignalSample &s, std::string &out)
{
    const std::optional<int> dbm = s.csq ? CsqToDbm(*s.csq) : std::nullopt;
    out += LocalTime(s.wallMs);
    out += ',';
    out += s.csq ? std::to_string(*s.csq) : std::string();
    out += ',';
    out += dbm ? std::to_string(*dbm) : std::string();
    out += ',';
    out += BandWord(BandOfCsq(s.csq));
    out += ',';
    out += CsvField(s.linkA);
    out += ',';
    out += CsvField(s.linkB);
    out += "\r\n";
}

std::string SignalCsv(const std::deque<TSignalSample> &samples)
{
    std::string out(kSignalCsvHeader);
    for (const TSignalSample &s : samples)
        AppendSignalCsvLine(s, out);
    return out;
}

} // namespace m845
