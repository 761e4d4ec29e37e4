// The command history and the quick commands through the real window: what the keys and the
// drop-down recall, what reaches the line, what the editor keeps, and what survives a restart
// or cannot be used from the file.

#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QtTest/QTest>

#include "common/file_text.h"
#include "common/joined_window.h"
#include "common/scoped_language.h"
#include "serial/pty_pair.h"
#include "ui/link/linkcontrol.h"
#include "ui/terminal/historycontrol.h"
#include "ui/terminal/quickcommands.h"
#include "ui/terminal/sendpane.h"

namespace m845 {
namespace {

class TerminalToolsTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_language = std::make_unique<test::ScopedLanguage>("m845-tt"); }
    static void TearDownTestSuite() { s_language.reset(); }
    void SetUp() override { LangList()->IsChinese = false; }

    void Start()
    {
        m_w.Start();
        m_w.W().show();
        m_w.W().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_w.W()));
        m_box = m_w.W().SendPane().SendBox();
        m_hex = m_w.Find<QCheckBox>("chbTxHex");
        m_box->setFocus();
    }
    // Typed into the send box and sent with the send key, as the technician does.
    void Send(const QString &text, bool hex = false)
    {
        m_hex->setChecked(hex);
        m_box->setPlainText(text);
        QTest::keyClick(m_box, Qt::Key_Return, Qt::ControlModifier);
    }
    [[nodiscard]] QString Box() const { return m_box->toPlainText(); }
    [[nodiscard]] const std::vector<TSentText> &Entries() const
    {
        return m_w.Terminal().History().History().Entries();
    }
    void OpenPty()
    {
        ASSERT_TRUE(m_pty.Valid());
        m_w.Find<QComboBox>("cbbOpenCom")->setEditText(QString::fromStdString(m_pty.SlavePath()));
        QTest::mouseClick(m_w.Find<QToolButton>("btnOpenClose"), Qt::LeftButton);
        ASSERT_TRUE(m_w.W().Link().IsPortOpen()) << m_w.LogText().toStdString();
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    test::JoinedWindow m_w{"m845-tt"};
    test::PtyPair m_pty;
    QPlainTextEdit *m_box = nullptr;
    QCheckBox *m_hex = nullptr;
};

TEST_F(TerminalToolsTest, HistoryRecallsWhatWasSentAndSurvivesARestart)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Send(QStringLiteral("AT+CSQ"));
    Send(QStringLiteral("AT+CSQ"));
    Send(QStringLiteral("41 54"), true);
    Send(QStringLiteral("4G"), true); // not hex: nothing sent, nothing kept
    m_w.W().SendPane().pmSendTypeClick(kSendTypeSms);
    Send(QStringLiteral("hello\nthere"));
    m_w.W().SendPane().pmSendTypeClick(kSendTypeSerial);
    Send(QStringLiteral("AT+VER?"));
    ASSERT_EQ(Entries().size(), 4U);
    EXPECT_EQ(Entries()[1], (TSentText{"hello\nthere", false})) << "an SMS text too";

    // Ctrl+Up steps back, the Hex box following each entry; Ctrl+Down comes back to the draft.
    m_hex->setChecked(false);
    m_box->setPlainText(QStringLiteral("draft"));
    const std::vector<std::pair<QString, bool>> older{{QStringLiteral("AT+VER?"), false},
                                                      {QStringLiteral("hello\nthere"), false},
                                                      {QStringLiteral("41 54"), true},
                                                      {QStringLiteral("AT+CSQ"), false},
                                                      {QStringLiteral("AT+CSQ"), false}};
    for (const auto &[text, hex] : older) {
        QTest::keyClick(m_box, Qt::Key_Up, Qt::ControlModifier);
        EXPECT_EQ(Box(), text);
        EXPECT_EQ(m_hex->isChecked(), hex) << text.toStdString();
    }
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(m_box, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Box(), QStringLiteral("AT+VER?"));
    QTest::keyClick(m_box, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Box(), QStringLiteral("draft"));
    EXPECT_FALSE(m_hex->isChecked());

    // The plain arrows still move the caret between the box's lines.
    m_box->setPlainText(QStringLiteral("first\nsecond"));
    m_box->moveCursor(QTextCursor::End);
    QTest::keyClick(m_box, Qt::Key_Up);
    EXPECT_EQ(m_box->textCursor().blockNumber(), 0);
    EXPECT_EQ(Box(), QStringLiteral("first\nsecond"));

    // The drop-down lists the same, newest first; a pick fills the box.
    auto *menu = m_w.Find<QMenu>("pmHistory");
    emit menu->aboutToShow();
    ASSERT_GE(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[2]->text(), QStringLiteral("[Hex] 41 54"));
    menu->actions()[2]->trigger();
    EXPECT_EQ(Box(), QStringLiteral("41 54"));
    EXPECT_TRUE(m_hex->isChecked());

    // The last hundred, kept across a restart with their hex flags.
    for (int i = 0; i < 110; ++i) {
        m_box->setPlainText(QStringLiteral("AT+N%1").arg(i));
        m_hex->setChecked(false);
        m_w.W().SendPane().actSendExecute();
    }
    Send(QStringLiteral("0D 0A"), true);
    ASSERT_EQ(Entries().size(), kHistoryLimit);
    m_w.Close();
    const std::string file = test::ReadFile(m_w.CfgPath());
    EXPECT_NE(file.find("[History]\nCount=100\nText1=0D 0A\nHex1=1\nText2=AT+N109\nHex2=0\n"),
              std::string::npos)
        << file;

    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(Entries().size(), kHistoryLimit);
    EXPECT_EQ(Entries().back().text, "AT+N11");
    m_box->clear();
    QTest::keyClick(m_box, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Box(), QStringLiteral("0D 0A"));
    EXPECT_TRUE(m_hex->isChecked());
}

TEST_F(TerminalToolsTest, QuickCommandsReachTheLineAndTheEditorIsKept)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(OpenPty());
    // Alt+N from wherever the focus is; a click on the command's button.
    QTest::keyClick(m_box, Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(m_pty.Read(8), "AT+CSQ\r\n");
    QTest::keyClick(m_w.Find<QComboBox>("cbbOpenBaud"), Qt::Key_4, Qt::AltModifier);
    EXPECT_EQ(m_pty.Read(3), "+++") << "no line end";
    auto *row = m_w.Find<QToolBar>("tlbQuick");
    QTest::mouseClick(row->widgetForAction(m_w.Find<QAction>("mniQuick2")), Qt::LeftButton);
    EXPECT_EQ(m_pty.Read(9), "AT+VER?\r\n");
    EXPECT_EQ(Box(), QString()) << "the send box is not touched";
    EXPECT_TRUE(Entries().empty()) << "quick commands are not the send box's history";

    // The editor: a hex command added and moved to the top, one deleted; invalid hex refused.
    TQuickCommandBar &quick = m_w.Terminal().Quick();
    bool refused = false;
    quick.RunEditor = [&refused](TQuickCommandEditor &editor) {
        editor.Add();
        QTest::keyClicks(editor.findChild<QLineEdit *>(QStringLiteral("edtQuickName")),
                         QStringLiteral("Raw"));
        QTest::keyClicks(editor.findChild<QLineEdit *>(QStringLiteral("edtQuickText")),
                         QStringLiteral("AT"));
        editor.findChild<QCheckBox *>(QStringLiteral("chbQuickHex"))->click();
        editor.findChild<QCheckBox *>(QStringLiteral("chbQuickCrLf"))->click();
        editor.Add();
        QTest::keyClicks(editor.findChild<QLineEdit *>(QStringLiteral("edtQuickText")),
                         QStringLiteral("GG"));
        editor.findChild<QCheckBox *>(QStringLiteral("chbQuickHex"))
            ->click(); // "GG" as hex: 47 47; made invalid below
        editor.findChild<QLineEdit *>(QStringLiteral("edtQuickText"))->clear();
        QTest::keyClicks(editor.findChild<QLineEdit *>(QStringLiteral("edtQuickText")),
                         QStringLiteral("ZZ"));
        editor.accept();
        refused
            = editor.result() != QDialog::Accepted
              && !editor.findChild<QLabel *>(QStringLiteral("lblQuickProblem"))->text().isEmpty();
        editor.Delete();
        editor.Move(-1); // "Raw" from the end to one before it ...
        for (int i = 0; i < 10; ++i)
            editor.Move(-1); // ... and on to the top, no further
        editor.findChild<QListWidget *>(QStringLiteral("lstQuick"))->setCurrentRow(1);
        editor.Delete(); // the old first, Signal
        editor.accept();
        return editor.result() == QDialog::Accepted;
    };
    quick.Edit();
    EXPECT_TRUE(refused);
    ASSERT_EQ(quick.Commands().size(), 6U);
    EXPECT_EQ(quick.Commands()[0], (TQuickCommand{"Raw", "41 54", true, false}));
    EXPECT_EQ(quick.Commands()[1].text, "AT+VER?");
    QTest::keyClick(m_box, Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(m_pty.Read(2), "AT");

    const std::vector<TQuickCommand> edited = quick.Commands();
    m_w.Close();
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(m_w.Terminal().Quick().Commands(), edited);
    EXPECT_EQ(m_w.Terminal().Quick().Commands()[0], (TQuickCommand{"Raw", "41 54", true, false}));
    EXPECT_EQ(m_w.Find<QAction>("mniQuick1")->text(), QStringLiteral("Raw"));
}

TEST_F(TerminalToolsTest, EntriesTheFileCannotGiveAreSkippedWithOneWarning)
{
    std::ofstream(m_w.CfgPath()) << "[History]\nText1=AT+GOOD\nText2=\xC4\xE3\nText3=4G\nHex3=1\n"
                                    "[QuickCommands]\nCount=2\nName1=Ok\nText1=AT\n"
                                    "Name2=Bad\nText2=bad\\q\n";
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(Entries().size(), 1U);
    EXPECT_EQ(Entries()[0].text, "AT+GOOD");
    ASSERT_EQ(m_w.Terminal().Quick().Commands().size(), 1U);
    const QString log = m_w.LogText();
    EXPECT_EQ(log.count(QStringLiteral("that cannot be used were skipped")), 1)
        << log.toStdString();
    for (const char *named : {"[History] Text2 (not UTF-8)", "[History] Text3 (not valid hex)",
                              "[QuickCommands] Text2 (malformed)"})
        EXPECT_TRUE(log.contains(QString::fromLatin1(named))) << named;
}

TEST_F(TerminalToolsTest, NamesForScreenReadersAndDefaultsInTheLanguageShown)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    for (const bool chinese : {true, false}) {
        m_w.W().mni_MenuClick(chinese ? QStringLiteral("mni_Cn") : QStringLiteral("mni_En"));
        EXPECT_EQ(m_box->accessibleName(),
                  chinese ? QStringLiteral("发送框") : QStringLiteral("Send box"));
        EXPECT_EQ(m_w.W().Log().Dialog()->accessibleName(),
                  chinese ? QStringLiteral("通信记录") : QStringLiteral("Communication log"));
        EXPECT_EQ(m_w.Find<QLineEdit>("edtFind")->accessibleName(),
                  chinese ? QStringLiteral("查找") : QStringLiteral("Find"));
        // Not yet the technician's: the built-in commands follow the language.
        EXPECT_EQ(m_w.Find<QAction>("mniQuick1")->text(),
                  chinese ? QStringLiteral("信号强度") : QStringLiteral("Signal"));
    }
}

} // namespace
} // namespace m845
