#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolTip>
#include <QtTest/QTest>

#include "lang/langlist.h"
#include "support/encoding.h"
#include "support/version.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/devicesession.h"
#include "ui/window/mainwindow.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

// Entries a technician might have edited: a combo item, an emptied English caption, titles.
constexpr const char *kLangFile = "lang_cbbASL0|短暂连接|Brief link\r\n"
                                  "lang_btnSend|发送|\r\n"
                                  "lang_Main_Title|标题|Title\r\n"
                                  "lang_Main_AppTitle|应用|App\r\n";

// A whole window with the device session, in English, over the language file above.
class TextsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::path(testing::TempDir()) / ("m845-texts-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        std::ofstream(m_dir / std::string(kLangFileName), std::ios::binary) << Utf8ToGbk(kLangFile);
        InitLanguage((m_dir / std::string(kLangFileName)).string());
        LangList()->IsChinese = false;
        m_window = std::make_unique<TFrm_Main>([this](TFrm_Main &w) {
            w.AdoptPart(std::make_unique<TDeviceSession>(w));
            if (m_loadConfiguration)
                QObject::connect(&w, &TFrm_Main::LoadingConfiguration, &w,
                                 [this, &w] { m_loadConfiguration(w); });
        });
    }
    void TearDown() override
    {
        m_window.reset();
        ReleaseLanguage();
        fs::remove_all(m_dir);
    }

    TFrm_Main &W() { return *m_window; }
    template <typename T = QObject> T *Find(const char *name)
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    void Choose(const char *item) { Find<QAction>(item)->trigger(); }
    QStringList LogLines()
    {
        W().Log().Flush();
        return W().Log().Dialog()->toPlainText().split(QLatin1Char('\n'));
    }

    fs::path m_dir;
    // What the configuration file sets at start-up.
    std::function<void(TFrm_Main &)> m_loadConfiguration;
    std::unique_ptr<TFrm_Main> m_window;
};

enum class Shown { Caption, Hint, Item };

// What the user sees: a caption with its shortcut escapes undone, a hint, or an item's text.
QString Read(QObject *object, Shown what, int index)
{
    if (auto *combo = qobject_cast<QComboBox *>(object); combo && what == Shown::Item)
        return combo->itemText(index);
    if (auto *menu = qobject_cast<QMenu *>(object); menu && what == Shown::Item)
        return PlainCaption(menu->actions().at(index)->text());
    const char *property = what == Shown::Hint                            ? "toolTip"
                           : qobject_cast<QGroupBox *>(object) != nullptr ? "title"
                                                                          : "text";
    return PlainCaption(object->property(property).toString());
}

struct TextCase
{
    const char *name;
    Shown what;
    int index;
    const char *english, *chinese;
};

const std::vector<TextCase> kTexts{
    {"mni_WorkOrder", Shown::Caption, 0, "Technical Support", "提交问题"},
    {"lblOpenCom", Shown::Hint, 0,
     "PC Serial should work in the same serial port parameters with M2M device",
     "PC串口和DTU应采用相同的串口参数"},
    {"rzchckbxSktA", Shown::Caption, 0, "Enable Socket A", "连接服务器A"},
    {"rzchckbxSktD", Shown::Caption, 0, "Enable Socket D", "连接服务器D"},
    {"rzgrpbxPara", Shown::Caption, 0, "UDC Mode parameters", " UDC模式相关参数"},
    {"lblIpAndPortA", Shown::Caption, 0, "IP&Port", "地址和端口"},
    {"imgCKZD", Shown::Hint, 0,
     "M2M device should work in the same serial port parameters with Serial device ",
     "DTU和串口终端应采用相同的串口参数"},
    {"cbbASL", Shown::Item, 0, "Brief link", "短暂连接"},
    {"cbbDSL", Shown::Item, 0, "Brief link", "短暂连接"},
    {"btnCNUM", Shown::Caption, 0, "Query phone number", "查询本机号码"},
    {"btnSend", Shown::Caption, 0, "", "发送"},
    {"pmSend", Shown::Item, 3, "Auto attach CR", "AT指令自动加回车"},
};

TEST_F(TextsTest, EveryTextFollowsTheLanguageMenu)
{
    // In UDC mode the group caption's mode text is found again among the other language's texts.
    Find<QAbstractButton>("rbUdc")->setChecked(true);
    Find<QComboBox>("cbbASL")->setCurrentIndex(0);
    const QString version = QStringLiteral(" V") + QString::fromStdString(ProgramVersionText());
    for (const bool chinese : {true, false}) {
        Choose(chinese ? "mni_Cn" : "mni_En");
        for (const TextCase &c : kTexts) {
            EXPECT_EQ(Read(Find(c.name), c.what, c.index),
                      QString::fromUtf8(chinese ? c.chinese : c.english))
                << c.name << (chinese ? " zh" : " en");
        }
        for (const char *hidden : {"btnCNUM", "btnCFGTF", "btnRELD"})
            EXPECT_TRUE(Find<QWidget>(hidden)->isHidden()) << hidden;
        EXPECT_EQ(W().windowTitle(),
                  (chinese ? QStringLiteral("标题") : QStringLiteral("Title")) + version);
        EXPECT_EQ(QGuiApplication::applicationDisplayName(),
                  chinese ? QStringLiteral("应用") : QStringLiteral("App"));
        EXPECT_EQ(Find<QComboBox>("cbbASL")->currentIndex(), 0);
    }
    // The guidance lines: at start and after each choice.
    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 18);
    EXPECT_EQ(lines[0], QStringLiteral("General operation process:"));
    EXPECT_EQ(lines[6], QStringLiteral("一般操作流程："));
    EXPECT_EQ(lines[17], QStringLiteral("5. Click \"Set current parameters\""));
}

TEST_F(TextsTest, TextsAreAppliedInTheirOrder)
{
    // What the window shows at each of the parts' steps (the panel's own controls aside).
    std::vector<QStringList> seen;
    QObject::connect(&W(), &TFrm_Main::ApplyingTexts, &W(), [&](TTextStep) {
        seen.push_back({W().windowTitle().left(2), QString::number(LogLines().size()),
                        Find<QAbstractButton>("btnAskAll")->text(),
                        Find<QAbstractButton>("btnSendTpye")->text()});
    });
    W().SendPane().pmSendTypeClick(kSendTypeSms);
    Choose("mni_Cn");
    const QString en = QStringLiteral("Query all parameters"), zh = QStringLiteral("获取当前参数");
    const QString sms = QStringLiteral("Send SMS message"), serial = QStringLiteral("通过串口发送");
    const QString title = QStringLiteral("标题"), start = QStringLiteral("6"),
                  all = QStringLiteral("12");
    const std::vector<QStringList> expected{{title, start, en, sms},
                                            {title, all, zh, sms},
                                            {title, all, zh, sms},
                                            {title, all, zh, serial}};
    EXPECT_EQ(seen, expected);
}

TEST_F(TextsTest, HintsStayTenMinutesAndRealTimeHelpOffShowsNone)
{
    W().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&W()));
    std::vector<std::pair<QString, int>> shown;
    W().ShowHint = [&](const QPoint &, const QString &text, QWidget *, int msec) {
        shown.emplace_back(text, msec);
    };
    auto *baud = Find<QWidget>("cbbOpenBaud");
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), baud->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(baud, &event);
    EXPECT_EQ(shown, (std::vector<std::pair<QString, int>>{{baud->toolTip(), kHintPauseMs}}));

    Choose("mni_Hint");
    EXPECT_FALSE(W().RealTimeHelp());
    W().ShowHint = nullptr; // Qt's own tooltip would show if the event got through
    QApplication::sendEvent(baud, &event);
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(TextsTest, StoredSettingsTakeEffectAtStartUp)
{
    const bool autoCR = Find<QAction>("mniAutoCR")->isChecked();
    m_loadConfiguration = [](TFrm_Main &w) {
        w.SetLanguage(true);
        w.SetRealTimeHelp(false);
        w.SetCustom(true);
        w.SetSendKey(3); // not a send key: must not toggle the automatic CR
        w.SetSendKey(1);
    };
    m_window.reset();
    SetUp();
    EXPECT_TRUE(Find<QAction>("mni_Cn")->isChecked());
    EXPECT_EQ(Find<QAbstractButton>("btnAskAll")->text(), QStringLiteral("获取当前参数"));
    EXPECT_FALSE(Find<QAction>("mni_Hint")->isChecked());
    QStringList help;
    for (QAction *item : Find<QAction>("mni_Help")->menu()->actions())
        help << (item->isVisible() ? item->objectName() : QString());
    EXPECT_EQ(help, (QStringList{QStringLiteral("mni_About"), QStringLiteral("mni_Hint"), {}, {}}));
    EXPECT_EQ(W().SendKey(), kSendKeyEnter);
    EXPECT_EQ(Find<QWidget>("btnSend")->toolTip(), QStringLiteral("按Enter键发送"));
    EXPECT_EQ(Find<QAction>("mniAutoCR")->isChecked(), autoCR);
}

TEST_F(TextsTest, CountersFillTheirBarsSoTheButtonsEndAtTheRightEdge)
{
    W().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&W()));
    for (const auto &[item, sendType, width] :
         {std::tuple{"mni_Cn", kSendTypeSerial, 1192}, std::tuple{"mni_En", kSendTypeSms, 1192},
          std::tuple{"mni_En", kSendTypeSerial, 1000}}) {
        Choose(item);
        W().SendPane().pmSendTypeClick(sendType);
        W().resize(width, 800);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (const auto &[bar, last] :
             {std::pair{"rztlbrSend", "btnSetSendKey"}, std::pair{"rzRecive", "btnResetCount"}})
            EXPECT_LE(Find<QWidget>(bar)->width() - Find<QWidget>(last)->geometry().right(), 8)
                << bar << " " << width;
    }
}

} // namespace
} // namespace m845
