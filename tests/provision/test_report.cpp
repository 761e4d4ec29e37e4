// The report: device text that can hold anything stays in its cell and on its line, and rows
// that several runs append at once all arrive whole, under one header.

#include "provision/report.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/file_text.h"
#include "common/test_folder.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

TReportRow Row(std::string identity, std::string csq = "24,99", std::string details = {})
{
    TReportRow row;
    row.time = "2026-03-05T14:03:07+01:00";
    row.port = "/dev/ttyUSB0";
    row.identity = std::move(identity);
    row.iccid = "8986";
    row.sn = "0042";
    row.version = "V2.1.5";
    row.csq = std::move(csq);
    row.details = std::move(details);
    row.seconds = 12.34;
    return row;
}

TEST(ReportRow, DeviceTextIsQuotedAndEscapedAndStaysOnOneLine)
{
    const struct
    {
        TReportRow row;
        const char *csv;
        const char *json;
    } cases[] = {
        {Row("866714041234567"),
         "2026-03-05T14:03:07+01:00,/dev/ttyUSB0,866714041234567,8986,0042,V2.1.5,\"24,99\",FAIL,,"
         "12.3\n",
         "{\"time\":\"2026-03-05T14:03:07+01:00\",\"port\":\"/dev/ttyUSB0\",\"identity\":"
         "\"866714041234567\",\"iccid\":\"8986\",\"sn\":\"0042\",\"version\":\"V2.1.5\",\"csq\":"
         "\"24,99\",\"result\":\"FAIL\",\"details\":\"\",\"seconds\":12.3}\n"},
        // Quotes, a line break, an escape sequence and a byte that is no UTF-8.
        {Row("say \"hi\"\r\n\x1B[2J\xFF", "", "a \\ b"),
         "2026-03-05T14:03:07+01:00,/dev/ttyUSB0,\"say \"\"hi\"\"\\x0D\\x0A\\x1B[2J\\xFF\",8986,"
         "0042,V2.1.5,,FAIL,a \\ b,12.3\n",
         "{\"time\":\"2026-03-05T14:03:07+01:00\",\"port\":\"/dev/ttyUSB0\",\"identity\":\"say "
         "\\\"hi\\\"\\\\x0D\\\\x0A\\\\x1B[2J\\\\xFF\",\"iccid\":\"8986\",\"sn\":\"0042\","
         "\"version\":\"V2.1.5\",\"csq\":\"\",\"result\":\"FAIL\",\"details\":\"a \\\\ b\","
         "\"seconds\":12.3}\n"},
        // A cell a spreadsheet would run as a formula.
        {Row("=HYPERLINK(\"x\")", "-1"),
         "2026-03-05T14:03:07+01:00,/dev/ttyUSB0,\"'=HYPERLINK(\"\"x\"\")\",8986,0042,V2.1.5,'-1,"
         "FAIL,,12.3\n",
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.csv);
        EXPECT_EQ(FormatReportRow(c.row, TReportFormat::Csv), c.csv);
        if (c.json != nullptr) {
            EXPECT_EQ(FormatReportRow(c.row, TReportFormat::JsonLines), c.json);
        }
    }
    TReportRow pass = Row("x");
    pass.pass = true;
    EXPECT_NE(FormatReportRow(pass, TReportFormat::Csv).find(",PASS,"), std::string::npos);
    EXPECT_EQ(ReportFormatOf("/tmp/day.JSONL"), TReportFormat::JsonLines);
    EXPECT_EQ(ReportFormatOf("/tmp/day.jsonl.csv"), TReportFormat::Csv);
}

class ReportFile : public testing::Test
{
protected:
    void SetUp() override { m_dir = test::FreshTestFolder("m845-report"); }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(ReportFile, RowsFinishingTogetherAllArriveWholeUnderOneHeader)
{
    for (const char *name : {"day.csv", "day.jsonl"}) {
        SCOPED_TRACE(name);
        const std::string path = (m_dir / name).string();
        constexpr int kRuns = 8;
        constexpr int kRows = 25;
        std::atomic<int> ready{0};
        std::vector<std::thread> runs;
        for (int run = 0; run < kRuns; ++run) {
            runs.emplace_back([&, run] {
                ++ready;
                while (ready < kRuns) {
                }
                for (int i = 0; i < kRows; ++i) {
                    const std::string id = std::to_string(run) + "-" + std::to_string(i);
                    EXPECT_TRUE(AppendReportRow(path, Row(id, "24,99", std::string(300, 'x'))).ok);
                }
            });
        }
        for (std::thread &run : runs)
            run.join();
        std::ifstream in(path);
        std::string line;
        int headers = 0;
        int rows = 0;
        while (std::getline(in, line)) {
            if (line == kReportHeader) {
                ++headers;
                continue;
            }
            ++rows;
            const std::string tail = ReportFormatOf(path) == TReportFormat::Csv
                                         ? "," + std::string(300, 'x') + ",12.3"
                                         : std::string(300, 'x') + "\",\"seconds\":12.3}";
            EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
        }
        EXPECT_EQ(headers, ReportFormatOf(path) == TReportFormat::Csv ? 1 : 0);
        EXPECT_EQ(rows, kRuns * kRows);
    }
}

TEST_F(ReportFile, PrepareCreatesTheHeaderAndRefusesWhatIsNoReportOfThatForm)
{
    const fs::path fresh = m_dir / "new.csv";
    ASSERT_TRUE(PrepareReport(fresh.string()).ok);
    EXPECT_EQ(ReadFile(fresh), std::string(kReportHeader) + "\n");
    ASSERT_TRUE(AppendReportRow(fresh.string(), Row("a")).ok);
    ASSERT_TRUE(PrepareReport(fresh.string()).ok);
    EXPECT_EQ(ReadFile(fresh).find(kReportHeader, 1), std::string::npos);

    std::ofstream(m_dir / "other.csv") << "name,amount\nrent,100\n";
    std::ofstream(m_dir / "other.jsonl") << "time,port\n";
    const struct
    {
        fs::path path;
        const char *reason;
    } bad[] = {
        {m_dir / "other.csv", "its first line is not the report's header"},
        {m_dir / "other.jsonl", "it holds no JSON lines"},
        {m_dir, "Is a directory"},
        {m_dir / "absent" / "r.csv", "No such file or directory"},
    };
    for (const auto &c : bad) {
        SCOPED_TRACE(c.path.string());
        const TReportOutcome outcome = PrepareReport(c.path.string());
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.reason, c.reason);
    }
    EXPECT_EQ(ReadFile(m_dir / "other.csv"), "name,amount\nrent,100\n");
}

} // namespace
} // namespace m845
