// The program on several simulated devices at once and as a station bench: the processes, the
// report rows, the exit codes and Ctrl+C, as a technician's shell sees them.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tool_process.h"
#include "common/file_text.h"
#include "common/test_folder.h"
#include "common/scoped_env.h"
#include "devsim/simserver.h"

namespace m845 {
namespace {

#ifdef M845TOOL_PATH

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;
using test::ReadFile;
using test::ToolProcess;

struct Identity
{
    const char *imei;
    const char *sn;
};

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class ToolOnSimulators : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = test::FreshTestFolder("m845-station");
        fs::create_directories(m_dir / "data");
        m_dataDir.emplace("M845_DATA_DIR", (m_dir / "data").string());
        m_display.emplace("DISPLAY", std::nullopt);
    }
    void TearDown() override
    {
        m_sims.clear();
        EXPECT_TRUE(fs::is_empty(m_dir / "data"));
        m_dataDir.reset();
        m_display.reset();
        fs::remove_all(m_dir);
    }

    // A device on a line named name in the test's folder, so that its lines carry that name.
    devsim::SimServer &Sim(const std::string &name, Identity identity,
                           devsim::SimOptions options = {})
    {
        options.linkPath = (m_dir / name).string();
        auto sim = std::make_unique<devsim::SimServer>(options);
        sim->SetParam("IMEI", identity.imei);
        sim->SetParam("SN", identity.sn);
        std::string error;
        EXPECT_TRUE(sim->Start(&error)) << error;
        m_sims.push_back(std::move(sim));
        return *m_sims.back();
    }
    std::string Port(const std::string &name) const { return (m_dir / name).string(); }
    // A customer's file, as a read of a device makes it.
    std::string CustomerFile()
    {
        Sim("source", {"866714040000000", "S0"});
        const std::string file = (m_dir / "customer.ini").string();
        ToolProcess read(M845TOOL_PATH, {"--port", Port("source"), "--read", file, "--pause-ms",
                                         "5", "--reply-ms", "400", "--quiet"});
        EXPECT_EQ(read.Finish(), 0) << read.Err();
        return file;
    }
    static std::vector<std::string> Fast(std::vector<std::string> args, int replyMs = 400)
    {
        for (const std::string &arg :
             {std::string("--lang"), std::string("en"), std::string("--pause-ms"), std::string("5"),
              std::string("--reply-ms"), std::to_string(replyMs)})
            args.push_back(arg);
        return args;
    }
    // The rows of a CSV report without its header, which must lead it once.
    std::vector<std::string> Rows(const fs::path &report) const
    {
        std::vector<std::string> rows = Lines(ReadFile(report));
        EXPECT_FALSE(rows.empty());
        if (rows.empty())
            return rows;
        EXPECT_EQ(rows.front(), "time,port,identity,iccid,sn,version,csq,result,details,seconds");
        rows.erase(rows.begin());
        return rows;
    }
    static const std::string *RowOf(const std::vector<std::string> &rows, const std::string &port)
    {
        for (const std::string &row : rows) {
            if (row.find("," + port + ",") != std::string::npos)
                return &row;
        }
        return nullptr;
    }

    fs::path m_dir;
    std::optional<test::ScopedEnv> m_dataDir;
    std::optional<test::ScopedEnv> m_display;
    std::vector<std::unique_ptr<devsim::SimServer>> m_sims;
};

TEST_F(ToolOnSimulators, DevicesOnSeveralPortsRunAtOnceEachWithItsRowAndARefusalFailsIt)
{
    const std::string file = CustomerFile();
    devsim::SimOptions off;
    off.startPoweredOff = true;
    devsim::SimOptions refusing = off;
    refusing.model.errCommands = {"SOCKATO"};
    const std::vector<std::pair<std::string, Identity>> devices{
        {"devA", {"866714040000001", "SN-A"}},
        {"devB", {"866714040000002", "SN-B"}},
        {"devC", {"866714040000003", "SN-C"}},
        {"devD", {"866714040000004", "SN-D"}},
    };
    std::vector<std::string> args{"--port"};
    for (const auto &[name, identity] : devices) {
        Sim(name, identity, name == "devD" ? refusing : off);
        args.push_back(Port(name));
    }
    const fs::path report = m_dir / "batch.csv";
    for (const std::string &arg :
         {std::string("--write"), file, std::string("--report"), report.string()})
        args.push_back(arg);
    // A long reply time: the devices have no power until every run has started.
    ToolProcess tool(M845TOOL_PATH, Fast(args, 3000));
    // Each run has sent to its device before any device could answer: they run at once.
    for (std::size_t i = 1; i < m_sims.size(); ++i)
        ASSERT_TRUE(m_sims[i]->WaitForBytes(1, seconds(30))) << devices[i - 1].first;
    for (std::size_t i = 1; i < m_sims.size(); ++i)
        m_sims[i]->PowerOn();
    EXPECT_EQ(tool.Finish(), 1) << tool.Err();

    const std::vector<std::string> rows = Rows(report);
    EXPECT_EQ(rows.size(), devices.size());
    for (const auto &[name, identity] : devices) {
        SCOPED_TRACE(name);
        const std::string *row = RowOf(rows, Port(name));
        ASSERT_NE(row, nullptr) << ReadFile(report);
        EXPECT_NE(row->find(std::string(",") + identity.imei + ",89860117851068430021,"
                            + identity.sn + ",V2.1.5,\"24,99\","),
                  std::string::npos)
            << *row;
        const char *verdict
            = name == "devD" ? ",FAIL,SOCKATO: device refused (+ERR:-5)," : ",PASS,,";
        EXPECT_NE(row->find(verdict), std::string::npos) << *row;
    }
    // Every line says which port it is about.
    for (const std::string &line : Lines(tool.Err())) {
        const bool named = std::any_of(devices.begin(), devices.end(), [&line](const auto &d) {
            return line.rfind(d.first + ": ", 0) == 0;
        });
        EXPECT_TRUE(named || line == "3 passed, 1 failed") << line;
    }
    EXPECT_EQ(tool.Out(), "devD: SOCKATO: wrote 5, device refused (+ERR:-5)\n");
}

TEST_F(ToolOnSimulators, ADevicePulledDuringItsRunFailsItsRowAndTheOtherGoesOn)
{
    const std::string file = CustomerFile();
    devsim::SimOptions pulled;
    pulled.dropAfter = 300;
    Sim("good", {"866714040000011", "SN-G"});
    Sim("pulled", {"866714040000012", "SN-P"}, pulled);
    const fs::path report = m_dir / "batch.jsonl";
    ToolProcess tool(M845TOOL_PATH, Fast({"--port", Port("good"), "--port", Port("pulled"),
                                          "--write", file, "--report", report.string()}));
    EXPECT_EQ(tool.Finish(), 5) << tool.Err();
    const std::vector<std::string> rows = Lines(ReadFile(report));
    ASSERT_EQ(rows.size(), 2U);
    const auto row = [&](const std::string &port) -> std::string {
        for (const std::string &r : rows) {
            if (r.find("\"port\":\"" + Port(port) + "\"") != std::string::npos)
                return r;
        }
        return {};
    };
    EXPECT_NE(row("good").find("\"result\":\"PASS\""), std::string::npos) << row("good");
    const std::string lost = row("pulled");
    EXPECT_NE(lost.find("\"result\":\"FAIL\""), std::string::npos) << lost;
    EXPECT_NE(lost.find("Serial line lost"), std::string::npos) << lost;
    EXPECT_NE(lost.find("(exit 5)\""), std::string::npos) << lost;
    EXPECT_NE(tool.Err().find("pulled: FAIL (exit 5)"), std::string::npos) << tool.Err();
}

TEST_F(ToolOnSimulators, BadInputStopsEveryRunBeforeAnythingIsSent)
{
    const std::string file = CustomerFile();
    devsim::SimServer &sim = Sim("dev", {"866714040000021", "SN"});
    devsim::SimServer &other = Sim("other", {"866714040000022", "SN"});
    fs::create_symlink(sim.SlavePath(), m_dir / "alias");
    fs::create_directories(m_dir / "folder");
    std::ofstream(m_dir / "foreign.csv") << "name,amount\n";
    const struct
    {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{"--port", Port("dev"), Port("dev"), "--write", file}, "is given twice"},
        {{"--port", Port("dev"), "--port", Port("alias"), "--write", file}, "is given twice"},
        {{"--port", (m_dir / "by-id" / "*").string(), "--write", file}, "No port matches"},
        {{"--port", Port("dev"), Port("other"), "--write", file, "--report",
          (m_dir / "folder").string()},
         "Cannot write the report"},
        {{"--port", Port("dev"), "--write", file, "--report", (m_dir / "foreign.csv").string()},
         "its first line is not the report's header"},
        {{"--port", Port("dev"), "--firmware", (m_dir / "absent.bin").string()},
         "Cannot open the firmware file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        ToolProcess tool(M845TOOL_PATH, Fast(c.args));
        EXPECT_EQ(tool.Finish(), 2) << tool.Err();
        EXPECT_NE(tool.Err().find(c.says), std::string::npos) << tool.Err();
    }
    EXPECT_EQ(sim.BytesReceived(), 0);
    EXPECT_EQ(other.BytesReceived(), 0);
    EXPECT_EQ(ReadFile(m_dir / "foreign.csv"), "name,amount\n");
}

TEST_F(ToolOnSimulators, AStationTakesDevicesOneAfterAnotherOnceEachUntilCtrlC)
{
    const std::string file = CustomerFile();
    devsim::SimOptions off;
    off.startPoweredOff = true;
    devsim::SimServer &bench = Sim("bench", {"866714040000031", "SN-1"}, off);
    const fs::path report = m_dir / "bench.csv";
    ToolProcess tool(M845TOOL_PATH, Fast({"--station", "--port", Port("bench"), "--write", file,
                                          "--report", report.string(), "--probe-ms", "200"}));
    ASSERT_TRUE(tool.WaitForError("connect a device")) << tool.Err();
    // Nobody there: the probes find silence, and the station waits.
    ASSERT_TRUE(bench.WaitForBytes(10, seconds(30)));
    bench.PowerOn();
    ASSERT_TRUE(tool.WaitForError("PASS  866714040000031")) << tool.Err();
    // The device stays: two more looks at it, and no second run.
    const std::size_t traced = bench.Trace().size();
    ASSERT_TRUE(bench.WaitForTrace(traced + 8, seconds(30)));
    const std::vector<std::string> trace = bench.Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "AT+SOCKATO=5"), 1);

    // Another device in its place.
    bench.PowerOff();
    bench.SetParam("IMEI", "866714040000032");
    bench.SetParam("SN", "SN-2");
    bench.PowerOn();
    ASSERT_TRUE(tool.WaitForError("PASS  866714040000032")) << tool.Err();
    tool.Signal(SIGINT);
    EXPECT_EQ(tool.Finish(), 0) << tool.Err();
    EXPECT_NE(tool.Err().find("2 passed, 0 failed"), std::string::npos) << tool.Err();
    const std::vector<std::string> rows = Rows(report);
    ASSERT_EQ(rows.size(), 2U) << ReadFile(report);
    EXPECT_NE(rows[0].find(",866714040000031,89860117851068430021,SN-1,"), std::string::npos)
        << rows[0];
    EXPECT_NE(rows[1].find(",866714040000032,89860117851068430021,SN-2,"), std::string::npos)
        << rows[1];
    for (const std::string &row : rows)
        EXPECT_NE(row.find(",PASS,,"), std::string::npos) << row;
}

#endif

} // namespace
} // namespace m845
