#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtTest/QTest>

#include "common/scoped_env.h"
#include "common/scoped_language.h"
#include "lang/langlist.h"
#include "serial/pty_pair.h"
#include "support/encoding.h"
#include "support/version.h"
#include "ui/common/qttimer.h"
#include "ui/link/linkcontrol.h"
#include "ui/link/serialbar.h"
#include "ui/terminal/logpane.h"
#include "ui/terminal/sendpane.h"
#include "ui/window/aboutwindow.h"
#include "ui/window/jpegimage.h"
#include "ui/window/mainwindow.h"
#include "ui/window/sharedblock.h"

namespace m845 {
namespace {

namespace fs = std::filesystem;

// One language list for the window tests, with its file in a temporary folder.
class MainWindowTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_language = std::make_unique<test::ScopedLanguage>("m845-ui");
    }
    static void TearDownTestSuite()
    {
        s_language.reset();
    }
    void SetUp() override { LangList()->IsChinese = false; }

    [[nodiscard]] QStringList LogLines()
    {
        window.Log().Flush();
        return window.Log().Dialog()->toPlainText().split(QLatin1Char('\n'));
    }
    template <typename T> [[nodiscard]] T *Find(const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    TFrm_Main window;
};

TEST_F(MainWindowTest, BuildsTheRegionsWithTheirNames)
{
    for (const char *name :
         {"pnlT",           "rztlbrCom",     "cbbOpenCom",   "cbbOpenBaud", "cbbOpenP",
          "cbbOpenD",       "cbbOpenS",      "btnOpenClose", "pnlL",        "pnlWkmod",
          "rzszpnlBase",    "pnlR",          "rzgrpbxDo",    "rzgrpbxBtn",  "rzspltrBtnAndDialog",
          "advscrlbxBtn",   "rzspltrDialog", "rzRecive",     "pnlDialog",   "edtDialog",
          "edtDialogHex",   "rzpbWhile",     "pnlSend",      "edtSend",     "rztlbrSend",
          "rztlbrSendTpye", "rzstsbrBottom", "mm1"})
        EXPECT_NE(window.findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_TRUE(Find<QWidget>("edtDialogHex")->isHidden());
    EXPECT_TRUE(Find<QWidget>("rztlbrSendTpye")->isHidden());
    EXPECT_TRUE(window.ProgressBar()->isHidden());
    EXPECT_TRUE(Find<QWidget>("cbbOpenFlow")->isHidden());
    EXPECT_EQ(window.RcvTimer().Interval(), 1000);
    EXPECT_EQ(window.windowTitle(),
              QString::fromStdString(LangText("lang_Main_Title") + " V" + ProgramVersionText()));
}

TEST_F(MainWindowTest, StartsWithTheToolBarDefaultsAndTheGuidanceLines)
{
    EXPECT_EQ(window.SerialBar().BaudText(), "115200");
    EXPECT_EQ(window.SerialBar().ParityIndex(), 0);
    EXPECT_EQ(window.SerialBar().DataBitsIndex(), 1);
    EXPECT_EQ(window.SerialBar().StopBitsIndex(), 0);
    const QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QString::fromStdString(LangText("info_Start0")));
    EXPECT_EQ(lines[5], QString::fromStdString(LangText("info_Start5")));
}

TEST_F(MainWindowTest, CreationStepsOfOthersRunInOrderOnce)
{
    std::vector<std::string> steps;
    QWidget *panel = nullptr;
    TFrm_Main wired([&](TFrm_Main &w) {
        panel = new QWidget;
        panel->setObjectName(QStringLiteral("pnlL"));
        w.InstallParameterPanel(panel);
        QObject::connect(&w, &TFrm_Main::LoadingConfiguration, &w,
                         [&] { steps.emplace_back("config"); });
        QObject::connect(&w, &TFrm_Main::ApplyingTexts, &w, [&](TTextStep step) {
            if (step == TTextStep::WorkMode)
                steps.emplace_back("texts");
        });
        QObject::connect(&w, &TFrm_Main::SelectingStartMode, &w,
                         [&] { steps.emplace_back("net"); });
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"config", "texts", "net"}));
    EXPECT_EQ(wired.findChild<QWidget *>(QStringLiteral("pnlL")), panel);
    EXPECT_EQ(wired.findChild<QWidget *>(QStringLiteral("pnlWkmod")), nullptr);
    wired.Log().Flush();
    EXPECT_EQ(
        wired.Log().Dialog()->toPlainText().count(QString::fromStdString(LangText("info_Start0"))),
        1);
}

TEST_F(MainWindowTest, ThirteenButtonsReportTheirTags)
{
    struct Button
    {
        const char *name;
        int tag;
        bool visible;
    };
    const std::vector<Button> buttons{
        {"btnAskAll", 10, true},     {"btnSetAll", 11, true}, {"btnPPPA", 12, true},
        {"btnENTM", 13, true},       {"btnH", 16, true},      {"btnZ", 17, true},
        {"btnVER", 18, true},        {"btnCSQ", 23, true},    {"btnCLEAR", 21, true},
        {"btnSysRestart", 24, true}, {"btnCNUM", 22, false},  {"btnCFGTF", 19, false},
        {"btnRELD", 20, false}};
    std::vector<int> clicked;
    window.DoClick = [&](int tag) {
        clicked.push_back(tag);
    };
    std::vector<int> expected;
    for (const Button &b : buttons) {
        auto *button = Find<QPushButton>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->property("tag").toInt(), b.tag) << b.name;
        EXPECT_EQ(button->isHidden(), !b.visible) << b.name;
        EXPECT_EQ(button->text(), QString::fromStdString(LangText(std::string("lang_") + b.name)));
        button->click();
        expected.push_back(b.tag);
    }
    EXPECT_EQ(clicked, expected);
}

TEST_F(MainWindowTest, LanguageSwitchReappliesEveryText)
{
    window.mni_MenuClick(QStringLiteral("mni_Cn"));
    EXPECT_TRUE(LangList()->IsChinese);
    EXPECT_EQ(Find<QPushButton>("btnAskAll")->text(),
              QString::fromStdString(LangText("lang_btnAskAll")));
    EXPECT_EQ(Find<QGroupBox>("rzgrpbxDo")->title(),
              QString::fromStdString(LangText("lang_rzgrpbxDo")));
    EXPECT_EQ(Find<QToolButton>("btnOpenClose")->text(),
              QString::fromStdString(LangText("lang_btnOpen")));
    EXPECT_TRUE(Find<QWidget>("btnCNUM")->isHidden());
    window.mni_MenuClick(QStringLiteral("mni_En"));
    EXPECT_FALSE(LangList()->IsChinese);
    // The six guidance lines: at start and after each switch.
    EXPECT_EQ(LogLines().count(QString::fromStdString(LangText("info_Start0"))), 2);
}

TEST_F(MainWindowTest, OpenCloseButtonAgainstAPtyAndAnAbsentPort)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    auto *portBox = Find<QComboBox>("cbbOpenCom");
    auto *button = Find<QToolButton>("btnOpenClose");
    portBox->setEditText(QStringLiteral("/dev/m845-absent"));
    button->click();
    EXPECT_FALSE(window.Link().IsPortOpen());
    EXPECT_TRUE(LogLines().contains(QString::fromStdString(LangText("info_ComOpenNo"))));

    portBox->setEditText(QString::fromStdString(pty.SlavePath()));
    button->click();
    ASSERT_TRUE(window.Link().IsPortOpen());
    EXPECT_EQ(button->text(), QString::fromStdString(LangText("lang_btnClose")));
    EXPECT_EQ(window.RcvTimer().Interval(), 5000);

    // Terminal data typed in the send box reaches the line and the sent-bytes counter.
    window.SendPane().SendBox()->setPlainText(QStringLiteral("AT"));
    window.SendPane().actSendExecute();
    EXPECT_EQ(pty.Read(2), "AT");
    EXPECT_EQ(window.Log().TxCount(), 2U);
    window.Log().Flush();
    EXPECT_EQ(Find<QLabel>("lblSendCount")->text(), QStringLiteral("2"));

    // Received data is logged until the sequencer takes over the dispatch.
    ASSERT_TRUE(pty.Write("hello"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LogLines().last() == QStringLiteral("hello"); }));

    button->click();
    EXPECT_FALSE(window.Link().IsPortOpen());
    EXPECT_EQ(button->text(), QString::fromStdString(LangText("lang_btnOpen")));
}

TEST_F(MainWindowTest, SendWithThePortClosedWarns)
{
    window.SendPane().SendBox()->setPlainText(QStringLiteral("AT"));
    window.SendPane().actSendExecute();
    EXPECT_EQ(LogLines().last(), QString::fromStdString(LangText("info_ComNoOpen")));
    EXPECT_EQ(window.Log().TxCount(), 0U);
}

struct PortRefreshCase
{
    const char *name;
    std::vector<std::string> before;
    int chosen;        // index chosen before the refresh, -1 for none
    const char *typed; // text typed over the choice, or nullptr
    std::vector<std::string> after;
    int index;        // expected selection after the refresh
    std::string text; // expected port text
};

TEST_F(MainWindowTest, PortListRefreshKeepsWhatTheUserChoseOrTyped)
{
    const std::vector<PortRefreshCase> cases{
        {"grown list keeps the port",
         {"ttyUSB0", "ttyUSB1"},
         1,
         nullptr,
         {"ttyACM0", "ttyUSB0", "ttyUSB1"},
         2,
         "ttyUSB1"},
        {"shrunk list keeps the port",
         {"ttyS0", "ttyUSB0", "ttyUSB1"},
         2,
         nullptr,
         {"ttyUSB0", "ttyUSB1"},
         1,
         "ttyUSB1"},
        {"chosen port gone leaves none", {"ttyUSB0", "ttyUSB1"}, 0, nullptr, {"ttyUSB1"}, -1, ""},
        {"typed path survives",
         {"ttyUSB0"},
         0,
         "/dev/pts/42",
         {"ttyUSB0", "ttyUSB1"},
         -1,
         "/dev/pts/42"},
        {"typed listed name selects it",
         {"ttyUSB0"},
         -1,
         "ttyUSB1",
         {"ttyUSB0", "ttyUSB1"},
         1,
         "ttyUSB1"},
    };
    auto *portBox = window.SerialBar().PortBox();
    static std::vector<std::string> ports;
    portBox->PortSource = [] {
        return ports;
    };
    for (const PortRefreshCase &c : cases) {
        SCOPED_TRACE(c.name);
        ports = c.before;
        portBox->FillPortList();
        portBox->setCurrentIndex(c.chosen);
        if (c.typed != nullptr)
            portBox->setEditText(QString::fromLatin1(c.typed));
        ports = c.after;
        portBox->showPopup();
        portBox->hidePopup();
        EXPECT_EQ(portBox->currentIndex(), c.index);
        EXPECT_EQ(window.SerialBar().PortText(), c.text);
    }
}

// Stand-ins for the parameter panel's two scroll areas.
QScrollArea *AddArea(QWidget *host, const char *name)
{
    auto *area = new QScrollArea(host);
    area->setObjectName(QString::fromLatin1(name));
    auto *content = new QWidget(area);
    content->setMinimumHeight(3000);
    auto *combo = new QComboBox(content);
    combo->setObjectName(QString::fromLatin1(name) + QStringLiteral("Combo"));
    combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    combo->move(10, 10);
    area->setWidget(content);
    area->setFixedHeight(200);
    host->layout()->addWidget(area);
    return area;
}

void Wheel(QWidget *target, int delta)
{
    const QPoint local(20, 20);
    QWheelEvent event(QPointF(local), QPointF(target->mapToGlobal(local)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST_F(MainWindowTest, WheelScrollsTheParameterAreaUnderThePointerOneLine)
{
    auto *panel = new QWidget;
    new QVBoxLayout(panel);
    window.InstallParameterPanel(panel);
    QScrollArea *para = AddArea(panel, "advscrlbxPara");
    QScrollArea *base = AddArea(panel, "advscrlbxBase");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    para->verticalScrollBar()->setSingleStep(20);
    base->verticalScrollBar()->setSingleStep(20);

    // Over a combo box inside the area: the area scrolls, the combo keeps its item.
    auto *combo = para->findChild<QComboBox *>(QStringLiteral("advscrlbxParaCombo"));
    Wheel(combo, -1200);
    EXPECT_EQ(para->verticalScrollBar()->value(), 20);
    EXPECT_EQ(combo->currentIndex(), 0);
    Wheel(para->viewport(), 120);
    EXPECT_EQ(para->verticalScrollBar()->value(), 0);
    Wheel(base->viewport(), -120);
    EXPECT_EQ(base->verticalScrollBar()->value(), 20);
    EXPECT_EQ(para->verticalScrollBar()->value(), 0);
    Wheel(base->viewport(), 0);
    EXPECT_EQ(base->verticalScrollBar()->value(), 20) << "no delta turns nothing";
    // Elsewhere the wheel goes its normal way.
    auto *log = window.Log().Dialog();
    Wheel(log, -120);
    EXPECT_EQ(base->verticalScrollBar()->value(), 20);
    EXPECT_EQ(para->verticalScrollBar()->value(), 0);
}

TEST_F(MainWindowTest, FiveClicksOnTheAboutPictureShowTheHexMirror)
{
    Tfrm_About about(&window);
    window.SetAboutWindow(&about);
    EXPECT_TRUE(about.PictureLoaded());
    about.show();
    auto *hex = window.Log().DialogHex();
    auto *picture = about.findChild<QLabel *>(QStringLiteral("img_About"));
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_TRUE(hex->isHidden());
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_FALSE(hex->isHidden());
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_TRUE(hex->isHidden());
    // Showing the window again restarts the count; the mirror keeps its state meanwhile.
    about.hide();
    about.show();
    for (int i = 0; i < 5; ++i)
        about.img_AboutClick();
    EXPECT_FALSE(hex->isHidden());
    about.hide();
    EXPECT_FALSE(hex->isHidden());

    QUrl opened;
    about.OpenUrl = [&](const QUrl &url) {
        opened = url;
    };
    QTest::mouseClick(about.findChild<QLabel *>(QStringLiteral("lbl_About_Website")),
                      Qt::LeftButton);
    EXPECT_EQ(opened, QUrl::fromUserInput(QString::fromStdString(LangText("lang_About_Website"))));
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("lbl_version"))->text(),
              QStringLiteral(" V") + QString::fromStdString(ProgramVersionText()));
}

TEST(JpegImage, BadDataGivesANullImageWithoutEndingTheProgram)
{
    EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
    EXPECT_TRUE(DecodeJpeg(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)).isNull());
}

// The same whether the window loads the language list or the program loaded it ahead, while
// Qt started, and handed it to the window.
TEST(MainWindowStart, AnUnwritableDataFolderIsReportedAndTheProgramRuns)
{
    // A plain file where the data folder should be: nothing can be written under it.
    const std::string blocker = ::testing::TempDir() + "m845-data-is-a-file";
    {
        std::ofstream(blocker) << "x";
    }
    const test::ScopedEnv dataDir("M845_DATA_DIR", blocker);
    const test::ScopedEnv lang("LANG", "en_US.UTF-8");
    for (const bool loadedAhead : {false, true}) {
        ReleaseLanguage();
        const TLangFileProblem ahead = loadedAhead ? InitLanguage() : TLangFileProblem{};
        {
            TFrm_Main window([&](TFrm_Main &w) {
                if (loadedAhead)
                    w.AdoptLanguage(ahead);
            });
            ASSERT_NE(LangList(), nullptr);
            EXPECT_EQ(window.Log().RxCount(),
                      0U
                          + Utf8ToGbk(LangFormat("info_LangFileFail", {blocker + "/M845Lang.txt",
                                                                       std::strerror(ENOTDIR)}))
                                .size())
                << loadedAhead;
            window.Log().Flush();
            const QString text = window.Log().Dialog()->toPlainText();
            EXPECT_TRUE(text.contains(QString::fromStdString(blocker + "/M845Lang.txt")))
                << text.toStdString();
            EXPECT_EQ(window.findChild<QToolButton *>(QStringLiteral("btnOpenClose"))->text(),
                      QStringLiteral("Open PC Serial"));
        }
        EXPECT_EQ(LangList(), nullptr) << loadedAhead;
    }
    std::remove(blocker.c_str());
}

TEST(SharedBlock, CreatorStoresZeroAndASecondInstanceLeavesTheValue)
{
    const std::string name = "/m845-test-block-" + std::to_string(::getpid());
    shm_unlink(name.c_str());
    {
        TSharedBlock first(name);
        ASSERT_TRUE(first.IsMapped());
        EXPECT_TRUE(first.Created());
        EXPECT_EQ(*first.Value(), 0U);
        *first.Value() = 7;
        TSharedBlock second(name);
        ASSERT_TRUE(second.IsMapped());
        EXPECT_FALSE(second.Created());
        EXPECT_EQ(*second.Value(), 7U);
    }
    // The last instance removed the block: the next first one creates it anew with 0.
    TSharedBlock later(name);
    EXPECT_TRUE(later.Created());
    EXPECT_EQ(*later.Value(), 0U);
    {
        TSharedBlock other(name);
        EXPECT_FALSE(other.Created());
    }
    // That one was not the last: the block stays for the instance still running.
    const int fd = shm_open(name.c_str(), O_RDWR, 0600);
    EXPECT_GE(fd, 0);
    close(fd);
    shm_unlink(name.c_str());
    EXPECT_FALSE(TSharedBlock(std::string("/bad/name/with/slashes")).IsMapped());
}

} // namespace
} // namespace m845
