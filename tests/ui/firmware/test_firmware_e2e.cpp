// The firmware upgrade through the whole window: against the simulated boot loader, through a
// lost line, and against lrzsz's rx, an XModem receiver none of us wrote.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/scoped_language.h"
#include "devsim/devsim_testutil.h"
#include "devsim/simserver.h"
#include "firmware/firmwareupgrade.h"
#include "firmware/fw_testdata.h"
#include "lang/langlist.h"
#include "serial/comm.h"
#include "serial/pty_pair.h"
#include "ui/firmware/firmwarecontrol.h"
#include "ui/link/linkcontrol.h"
#include "ui/terminal/logpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

extern char **environ;

namespace m845 {
namespace {

namespace fs = std::filesystem;
using devsim::test::Padded;
using test::RandomBytes;

using test::ReadFile;

class FirmwareEndToEndTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-fw-e2e");
        // A write to rx after it has gone must fail, not end the test program.
        ::signal(SIGPIPE, SIG_IGN);
    }
    static void TearDownTestSuite()
    {
        s_language.reset();
    }

    void SetUp() override
    {
        LangList()->IsChinese = false;
        dir = fs::temp_directory_path()
              / ("m845-fw-e2e-" + std::to_string(::getpid()) + "-"
                 + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto part = std::make_unique<TDeviceSession>(w);
            session = part.get();
            w.AdoptPart(std::move(part));
        });
    }
    void TearDown() override
    {
        window.reset();
        fs::remove_all(dir);
    }

    std::string WriteFirmware(const std::string &content) const
    {
        const fs::path path = dir / "fw.bin";
        std::ofstream(path, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return path.string();
    }
    void OpenPort(const std::string &path)
    {
        window->findChild<QComboBox *>(QStringLiteral("cbbOpenCom"))
            ->setEditText(QString::fromStdString(path));
        QTest::mouseClick(FindButton("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(window->Link().IsPortOpen()) << LogText().toStdString();
    }
    // The "Fw Upgrade" button, with the file dialog answered.
    void ChooseFirmware(const std::string &path)
    {
        session->Firmware().RunDialog = [path](QFileDialog &) {
            return std::optional<QString>(QString::fromStdString(path));
        };
        QTest::mouseClick(FindButton("btnFwUp"), Qt::LeftButton);
        ASSERT_TRUE(session->Firmware().Upgrade().HasFirmwareFile()) << LogText().toStdString();
    }
    [[nodiscard]] QToolButton *FindButton(const char *name) const
    {
        return window->findChild<QToolButton *>(QString::fromLatin1(name));
    }
    [[nodiscard]] QString LogText() const
    {
        window->Log().Flush();
        return window->Log().Dialog()->toPlainText();
    }
    // The event loop runs flat out (a QTest wait would sleep between turns and pace the blocks).
    [[nodiscard]] bool WaitForLog(const char *key, int timeoutMs = 60000) const
    {
        const QString text = QString::fromStdString(LangText(key));
        const auto &fw = session->Firmware().Upgrade();
        return test::WaitFor(
            [&] {
                return fw.XmodemState() != TXmodemState::BlockSent
                       && fw.XmodemState() != TXmodemState::Due && LogText().contains(text);
            },
            timeoutMs);
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    fs::path dir;
    std::unique_ptr<TFrm_Main> window;
    TDeviceSession *session = nullptr;
};

// A device that vanishes halfway, then another that takes the whole file and restarts.
TEST_F(FirmwareEndToEndTest, SimulatedBootLoaderGetsTheFileAfterALostLine)
{
    const std::string content = RandomBytes(100 * 1024 + 50, 41);
    for (const long long dropAfter : {30000LL, -1LL}) {
        devsim::SimOptions options;
        options.model.boot = true;
        options.model.startRequestInterval = std::chrono::milliseconds(200);
        options.dropAfter = dropAfter;
        devsim::SimServer sim(options);
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        OpenPort(sim.SlavePath());
        if (dropAfter > 0) {
            ChooseFirmware(WriteFirmware(content));
            ASSERT_TRUE(WaitForLog("info_FwPortLost")) << LogText().toStdString();
            EXPECT_EQ(window->Comm().ReadIntervalTimeout(), 60U);
            continue;
        }
        ASSERT_TRUE(WaitForLog("info_FwUpOver")) << LogText().toStdString();
        EXPECT_TRUE(sim.Firmware() == Padded(content)) << sim.Firmware().size() << " bytes";
        EXPECT_EQ(sim.FirmwareImages(), 1);
        EXPECT_TRUE(LogText().contains(QStringLiteral("-------------------------------")));
        EXPECT_TRUE(window->ProgressBar()->isHidden());
        EXPECT_EQ(window->Comm().ReadIntervalTimeout(), 60U);
        // The "R" after the success line: the boot loader starts the application.
        EXPECT_TRUE(sim.WaitForMode(devsim::DeviceMode::DataTransfer, std::chrono::seconds(5)));
    }
}

// rx must not own the pty (its tcflush calls eat bytes of the line): it talks through pipes
// that a relay joins to the pty's master. The test plays the boot loader's dialogue first, and
// starts rx only once the tool waits for the start request, as a device's "C" comes later.
TEST_F(FirmwareEndToEndTest, LrzszReceiverGetsTheFilePadded)
{
    if (!fs::exists("/usr/bin/rx"))
        GTEST_SKIP() << "lrzsz is not installed";
    test::PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    const std::string content = RandomBytes(20000, 47);
    OpenPort(pty.SlavePath());
    ChooseFirmware(WriteFirmware(content));
    const TFirmwareUpgrade &fw = session->Firmware().Upgrade();
    const std::pair<std::string, std::string> dialogue[] = {
        {std::string(test::kBootMenu), "F"},
        {std::string(test::kBootConfirm), "Y"},
    };
    // Named pairs, not a structured binding: clang, which builds the fuzzing tree, cannot yet
    // capture one in a lambda.
    for (const auto &step : dialogue) {
        const std::string &answer = step.second;
        ASSERT_TRUE(pty.Write(step.first));
        ASSERT_TRUE(test::WaitFor([&] { return window->Link().LastSentText() == answer; }));
        ASSERT_EQ(pty.Read(answer.size()), answer);
    }
    ASSERT_TRUE(pty.Write("Y\r\n"));
    ASSERT_TRUE(test::WaitFor([&] { return fw.XmodemState() == TXmodemState::Waiting; }));

    const fs::path rxDir = dir / "rx";
    fs::create_directories(rxDir);
    int toRx[2];
    int fromRx[2];
    ASSERT_EQ(::pipe(toRx), 0);
    ASSERT_EQ(::pipe(fromRx), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toRx[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromRx[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, rxDir.c_str());
    const char *argv[] = {"rx", "-c", "-b", "-y", "fw.bin", nullptr};
    pid_t pid = 0;
    const int spawned
        = ::posix_spawn(&pid, "/usr/bin/rx", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toRx[0]);
    ::close(fromRx[1]);
    ASSERT_EQ(spawned, 0);

    // The relay runs on a thread of its own while the window's event loop runs here.
    std::atomic<bool> rxEnded{false};
    std::thread relay([&] {
        for (;;) {
            pollfd fds[2] = {{pty.Master(), POLLIN, 0}, {fromRx[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                break;
            char buffer[4096];
            if ((fds[0].revents & POLLIN) != 0) {
                const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer);
                if (n > 0)
                    (void)::write(toRx[1], buffer, static_cast<std::size_t>(n));
            }
            if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
                const ssize_t n = ::read(fromRx[0], buffer, sizeof buffer);
                if (n <= 0)
                    break;
                (void)pty.Write(std::string(buffer, static_cast<std::size_t>(n)));
            }
        }
        rxEnded = true;
    });
    const bool ended = test::WaitFor([&] { return rxEnded.load(); }, 60000);
    if (!ended)
        ::kill(pid, SIGKILL);
    relay.join();
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(toRx[1]);
    ::close(fromRx[0]);
    ASSERT_TRUE(ended) << LogText().toStdString();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string received = ReadFile(rxDir / "fw.bin");
    EXPECT_TRUE(received == Padded(content)) << received.size() << " bytes received";
    // A standard receiver answers the end byte with a lone ACK, which is not the device's
    // final reply: no success line, the sender still waits for it.
    EXPECT_FALSE(LogText().contains(QString::fromStdString(LangText("info_FwUpOver"))));
    EXPECT_EQ(fw.XmodemState(), TXmodemState::EndSent);
}

} // namespace
} // namespace m845
