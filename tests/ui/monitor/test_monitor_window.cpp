// The signal monitor's part of the window without a device: its place and names in both
// languages, its settings kept in a section of the configuration file of its own.

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "lang/langlist.h"
#include "monitor/signalmonitor.h"
#include "ui/config/configcommands.h"
#include "ui/monitor/monitorpanel.h"
#include "ui/monitor/monitorpart.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

class MonitorWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-monwin");
    }
    static void TearDownTestSuite() { s_language.reset(); }

    void SetUp() override
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        LangList()->IsChinese = false;
    }
    void TearDown() override
    {
        window.reset();
        LangList()->IsChinese = false;
        fs::remove_all(m_dir);
    }
    void Start()
    {
        window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            auto session = std::make_unique<TDeviceSession>(w);
            auto config = std::make_unique<TConfigCommands>(w, *session);
            auto monitor = std::make_unique<TMonitorPart>(w, *session, config.get());
            part = monitor.get();
            w.AdoptPart(std::move(session));
            w.AdoptPart(std::move(config));
            w.AdoptPart(std::move(monitor));
        });
    }
    void Close()
    {
        window->close();
        window.reset();
    }
    template <typename T> [[nodiscard]] T *Find(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    fs::path m_dir = fs::temp_directory_path() / ("m845-monwin-" + std::to_string(::getpid()));
    test::ScopedEnv m_dataDir{"M845_DATA_DIR", m_dir.string()};
    std::unique_ptr<TFrm_Main> window;
    TMonitorPart *part = nullptr;
};

TEST_F(MonitorWindowTest, SitsBetweenTheCommandButtonsAndTheLogNamedInBothLanguages)
{
    Start();
    auto *splitter = Find<QSplitter>("rzspltrBtnAndDialog");
    ASSERT_EQ(splitter->count(), 3);
    EXPECT_EQ(splitter->widget(1)->objectName(), QStringLiteral("pnlMonitor"));
    auto *button = Find<QPushButton>("btnMonitor");
    EXPECT_EQ(button->accessibleName(), QStringLiteral("Signal monitor"));
    EXPECT_EQ(button->text(), QStringLiteral("Signal monitor"));
    EXPECT_TRUE(button->isCheckable());
    EXPECT_FALSE(Find<QWidget>("pnlMonitorBody")->isVisibleTo(window.get()));
    EXPECT_EQ(Find<QSpinBox>("spnMonitorPeriod")->accessibleName(), QStringLiteral("CSQ every"));
    EXPECT_FALSE(Find<QPushButton>("btnMonitorSave")->isEnabled()) << "no samples yet";

    window->mni_MenuClick(QStringLiteral("mni_Cn"));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("信号监测"));
    EXPECT_EQ(Find<QPushButton>("btnMonitorSave")->text(), QStringLiteral("信号记录另存为..."));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(Find<QWidget>("pnlMonitorBody")->isVisibleTo(window.get()));
    EXPECT_EQ(Find<QLabel>("lblMonitorState")->text(), QStringLiteral("等待打开串口"));
    window->mni_MenuClick(QStringLiteral("mni_En"));
    EXPECT_EQ(Find<QLabel>("lblMonitorState")->text(),
              QStringLiteral("Waiting for the port to open"));
    EXPECT_EQ(Find<QLabel>("lblMonitorSocketA")->text(), QStringLiteral("Socket A: unknown"));
}

TEST_F(MonitorWindowTest, ItsSettingsSurviveARestart)
{
    Start();
    QTest::mouseClick(Find<QPushButton>("btnMonitor"), Qt::LeftButton);
    Find<QSpinBox>("spnMonitorPeriod")->setValue(5);
    QTest::mouseClick(Find<QCheckBox>("chbMonitorLog"), Qt::LeftButton);
    EXPECT_EQ(part->Monitor().CsqPeriod(), 5000);
    EXPECT_EQ(part->Monitor().LogLines(), TMonitorLogLines::Compact);
    Close();
    const std::string file = test::ReadFile(m_dir / "M845Cfg.ini");
    EXPECT_NE(file.find("[SignalMonitor]\nOn=1\nCsqPeriod=5\nLogLine=1\n"), std::string::npos)
        << file;

    Start();
    EXPECT_TRUE(Find<QPushButton>("btnMonitor")->isChecked());
    EXPECT_EQ(Find<QSpinBox>("spnMonitorPeriod")->value(), 5);
    EXPECT_TRUE(Find<QCheckBox>("chbMonitorLog")->isChecked());
    EXPECT_TRUE(part->Monitor().On());
    EXPECT_EQ(part->Monitor().CsqPeriod(), 5000);
    EXPECT_EQ(part->Monitor().State(), TMonitorState::NoPort);
}

TEST(MonitorDuration, ReadsAsATechnicianSaysIt)
{
    const test::ScopedLanguage language("m845-mondur");
    LangList()->IsChinese = false;
    EXPECT_EQ(DurationText(59999), QStringLiteral("59 s"));
    EXPECT_EQ(DurationText(125000), QStringLiteral("2 min 5 s"));
    EXPECT_EQ(DurationText(4320000), QStringLiteral("1 h 12 min"));
    EXPECT_EQ(DurationText(-5), QStringLiteral("0 s"));
}

} // namespace
} // namespace m845
