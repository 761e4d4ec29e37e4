// The figures of the trend's span and the signal log file of a site report.

#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "common/scoped_env.h"
#include "monitor/signaltrend.h"

namespace m845 {
namespace {

TEST(SignalTrend, TheSpanFiguresCountOnlyReadingsWithASignal)
{
    TSignalTrend trend;
    trend.Add({1000, 0, 31, "", ""}); // before the span
    trend.Add({2000, 0, 10, "", ""});
    trend.Add({3000, 0, 99, "", ""});
    trend.Add({4000, 0, std::nullopt, "", ""});
    trend.Add({5000, 0, 20, "", ""});
    const TSpanStats stats = trend.Stats(2000);
    EXPECT_EQ(stats.count, 2);
    EXPECT_EQ(stats.minDbm, -93);
    EXPECT_EQ(stats.maxDbm, -73);
    EXPECT_DOUBLE_EQ(stats.averageDbm, -83.0);
    EXPECT_EQ(trend.Stats(6000).count, 0);
}

TEST(SignalTrend, AFullStoreDropsTheOldestSample)
{
    TSignalTrend trend(3);
    for (int i = 0; i < 5; ++i)
        trend.Add({i, 0, i, "", ""});
    ASSERT_EQ(trend.Samples().size(), 3U);
    EXPECT_EQ(trend.Samples().front().atMs, 2);
    EXPECT_EQ(trend.Samples().back().atMs, 4);
}

TEST(SignalCsv, OneLinePerSampleWithUnknownReadingsLeftEmpty)
{
    const test::ScopedEnv tz("TZ", "UTC");
    tzset();
    std::deque<TSignalSample> samples;
    // 2026-03-04 10:15:02 UTC
    const std::int64_t wall = 1772619302000;
    samples.push_back({0, wall, 24, "CONNECTED", "DISCONNECTED"});
    samples.push_back({2000, wall + 2000, 99, "CONNECTED", ""});
    samples.push_back({4000, wall + 4000, std::nullopt, "WAIT,RETRY", ""});
    // Device text a spreadsheet would run, or that would break the row.
    samples.push_back({6000, wall + 6000, 5, "=1+1", "A\r\nB"});
    EXPECT_EQ(SignalCsv(samples), "time,CSQ,dBm,band,socket A,socket B\r\n"
                                  "2026-03-04 10:15:02,24,-65,excellent,CONNECTED,DISCONNECTED\r\n"
                                  "2026-03-04 10:15:04,99,,none,CONNECTED,\r\n"
                                  "2026-03-04 10:15:06,,,unknown,\"WAIT,RETRY\",\r\n"
                                  "2026-03-04 10:15:08,5,-103,poor,'=1+1,A\\x0D\\x0AB\r\n");
}

} // namespace
} // namespace m845
