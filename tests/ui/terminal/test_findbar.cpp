// Find in the log: the count over a full log made in slices, next and previous round the ends,
// match case, lines dropped or added while counting; and the bar in the real window, opened
// with Ctrl+F and closed with Escape.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest/QTest>

#include "common/joined_window.h"
#include "common/scoped_language.h"
#include "ui/terminal/findbar.h"
#include "ui/terminal/logsearch.h"
#include "ui/terminal/sendpane.h"

namespace m845 {
namespace {

// A full log: every 100th line an error, every 1000th in capitals.
QString FullLog(int lines)
{
    QString text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        if (i % 1000 == 0)
            text += QStringLiteral("%1 +ERR: 7 NO CARRIER").arg(i);
        else if (i % 100 == 0)
            text += QStringLiteral("%1 +err: 7 no carrier").arg(i);
        else
            text += QStringLiteral("%1 +CSQ: 23,99 OK").arg(i);
    }
    return text;
}

int CountAll(TLogSearch &search)
{
    int slices = 1;
    while (!search.Step(1'000'000))
        ++slices;
    return slices;
}

class LogSearchTest : public testing::Test
{
protected:
    LogSearchTest()
    {
        // A document reports its changes once it has a layout, as the log box's has.
        static_cast<void>(m_doc.documentLayout());
        m_doc.setPlainText(FullLog(kLogLineLimit - 1));
    }
    [[nodiscard]] int LineOf(const TLogMatch &match) const
    {
        return m_doc.findBlock(match.position).blockNumber();
    }

    QTextDocument m_doc;
    TLogSearch m_search{m_doc};
};

TEST_F(LogSearchTest, CountsAFullLogInSlicesWithOrWithoutCase)
{
    struct Case
    {
        const char *text;
        Qt::CaseSensitivity cs;
        int count;
    };
    for (const Case &c :
         {Case{"no carrier", Qt::CaseInsensitive, 656}, Case{"no carrier", Qt::CaseSensitive, 590},
          Case{"NO CARRIER", Qt::CaseSensitive, 66}, Case{"+csq: 23", Qt::CaseInsensitive, 64878},
          Case{"absent", Qt::CaseInsensitive, 0}}) {
        m_search.Start(QString::fromLatin1(c.text), c.cs, 0);
        EXPECT_GT(CountAll(m_search), 1) << "a full log is never counted in one go";
        EXPECT_TRUE(m_search.Counted());
        EXPECT_EQ(m_search.Count(), c.count) << c.text;
    }
}

TEST_F(LogSearchTest, NextAndPreviousGoRoundTheEnds)
{
    m_search.Start(QStringLiteral("NO CARRIER"), Qt::CaseSensitive, 0);
    CountAll(m_search);
    const int last = m_doc.findBlockByNumber(65010).position();
    TLogMatch match = m_search.Next(last);
    EXPECT_EQ(LineOf(match), 0) << "after the last one comes the first";
    EXPECT_EQ(m_search.Ordinal(match), 1);
    match = m_search.Previous(match.position);
    EXPECT_EQ(LineOf(match), 65000) << "before the first one the last";
    EXPECT_EQ(m_search.Ordinal(match), 66);
    match = m_search.Next(m_doc.findBlockByNumber(3500).position());
    EXPECT_EQ(LineOf(match), 4000);
    EXPECT_EQ(m_search.Ordinal(match), 5);
    // The only match is found again from itself.
    m_search.Start(QStringLiteral("64999 +CSQ"), Qt::CaseSensitive, 0);
    match = m_search.Next(m_doc.findBlockByNumber(64999).position() + 2);
    EXPECT_EQ(LineOf(match), 64999);
    EXPECT_EQ(LineOf(m_search.Previous(match.position)), 64999);
}

TEST_F(LogSearchTest, TheFirstMatchIsTheOneAtOrAfterTheStart)
{
    std::vector<int> found;
    QObject::connect(
        &m_search, &TLogSearch::FirstFound, &m_search,
        [this, &found](const TLogMatch &m) { found.push_back(m.Valid() ? LineOf(m) : -1); });
    m_search.Start(QStringLiteral("no carrier"), Qt::CaseInsensitive,
                   m_doc.findBlockByNumber(64950).position());
    CountAll(m_search);
    m_search.Start(QStringLiteral("65300"), Qt::CaseInsensitive,
                   m_doc.findBlockByNumber(65400).position());
    CountAll(m_search);
    m_search.Start(QStringLiteral("absent"), Qt::CaseInsensitive, 0);
    CountAll(m_search);
    EXPECT_EQ(found, (std::vector<int>{65000, 65300, -1}));
}

TEST_F(LogSearchTest, LinesDroppedAddedOrClearedKeepTheCountRight)
{
    m_search.Start(QStringLiteral("no carrier"), Qt::CaseInsensitive, 0);
    CountAll(m_search);
    ASSERT_EQ(m_search.Count(), 656);
    // The oldest 10 000 lines go (100 matches among them), as a trimming log drops them.
    QTextCursor cursor(&m_doc);
    cursor.setPosition(m_doc.findBlockByNumber(10000).position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    EXPECT_GE(m_search.Count(), 555) << "with the lines, at once";
    CountAll(m_search); // the line at the cut is looked at again
    EXPECT_EQ(m_search.Count(), 556);
    // New entries at the end, as the log appends them, some while a count is under way.
    QTextCursor end(&m_doc);
    end.movePosition(QTextCursor::End);
    end.insertBlock();
    end.insertText(QStringLiteral("AT+X\nNo Carrier\nno carrier no carrier"));
    CountAll(m_search);
    EXPECT_EQ(m_search.Count(), 559);
    // A line the user edits in the middle.
    QTextCursor middle(m_doc.findBlockByNumber(100));
    ASSERT_TRUE(middle.block().text().contains(QStringLiteral("no carrier")));
    middle.movePosition(QTextCursor::EndOfBlock);
    middle.insertText(QStringLiteral(" NO CARRIER"));
    CountAll(m_search);
    EXPECT_EQ(m_search.Count(), 560);
    m_doc.clear();
    EXPECT_EQ(m_search.Count(), 0);
    EXPECT_FALSE(m_search.Next(0).Valid());
}

class FindBarTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_language = std::make_unique<test::ScopedLanguage>("m845-fb"); }
    static void TearDownTestSuite() { s_language.reset(); }
    void SetUp() override
    {
        LangList()->IsChinese = false;
        m_w.Start();
        m_w.W().show();
        m_w.W().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_w.W()));
        m_log = m_w.W().Log().Dialog();
        m_log->setPlainText(FullLog(20000));
        m_bar = &m_w.Terminal().Find();
    }
    [[nodiscard]] int CurrentLine() const
    {
        return m_log->document()->findBlock(m_bar->Current().position).blockNumber();
    }

    static inline std::unique_ptr<test::ScopedLanguage> s_language;
    test::JoinedWindow m_w{"m845-fb"};
    QPlainTextEdit *m_log = nullptr;
    TFindBar *m_bar = nullptr;
};

TEST_F(FindBarTest, CtrlFFindsAsYouTypeStepsRoundAndEscapeCloses)
{
    m_log->setFocus();
    m_log->moveCursor(QTextCursor::Start);
    QTest::keyClick(m_log, Qt::Key_F, Qt::ControlModifier);
    QLineEdit *field = m_bar->Field();
    ASSERT_TRUE(m_bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->accessibleName(), QStringLiteral("Find"));

    QTest::keyClicks(field, QStringLiteral("no carrier"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_bar->Search().Counted(); }));
    m_bar->FinishCount();
    EXPECT_EQ(m_bar->CountText(), QStringLiteral("1 of 200"));
    EXPECT_EQ(m_log->textCursor().selectedText(), QStringLiteral("NO CARRIER"));
    EXPECT_FALSE(m_log->extraSelections().isEmpty()) << "the matches in view are marked";

    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(CurrentLine(), 100);
    EXPECT_EQ(m_bar->CountText(), QStringLiteral("2 of 200"));
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(CurrentLine(), 19900) << "round the top to the last";
    QTest::keyClick(field, Qt::Key_F3);
    EXPECT_EQ(CurrentLine(), 0) << "and round the end to the first";

    // Match case from the match shown: the capitals only.
    m_w.Find<QCheckBox>("chbFindCase")->click();
    m_bar->FinishCount();
    EXPECT_EQ(m_bar->Search().Count(), 180);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("NO CARRIER"));
    m_bar->FinishCount();
    EXPECT_EQ(m_bar->Search().Count(), 20);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("nothing like it"));
    m_bar->FinishCount();
    EXPECT_EQ(m_bar->CountText(), QStringLiteral("No matches"));

    // While a match is shown new entries do not scroll it away; closing lets them again.
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("+err: 7"));
    m_bar->FinishCount();
    QTest::keyClick(field, Qt::Key_Return);
    const int shownAt = m_log->verticalScrollBar()->value();
    m_w.W().Log().LogInfo("new entry");
    m_w.W().Log().Flush();
    EXPECT_EQ(m_log->verticalScrollBar()->value(), shownAt);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(m_bar->isVisible());
    EXPECT_TRUE(m_log->extraSelections().isEmpty());
    m_w.W().Log().LogInfo("another entry");
    m_w.W().Log().Flush();
    EXPECT_EQ(m_log->verticalScrollBar()->value(), m_log->verticalScrollBar()->maximum());
}

TEST_F(FindBarTest, EnterInTheFieldFindsAndSendsNothing)
{
    QTest::keyClick(m_log, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(m_bar->Field(), QStringLiteral("+CSQ"));
    const QString box = m_w.W().SendPane().SendBox()->toPlainText();
    for (const Qt::KeyboardModifiers mods :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)})
        QTest::keyClick(m_bar->Field(), Qt::Key_Return, mods);
    EXPECT_EQ(m_w.W().SendPane().SendBox()->toPlainText(), box) << "no line added to the send box";
    EXPECT_FALSE(m_w.LogText().contains(QStringLiteral("Serial port is not open")));
}

} // namespace
} // namespace m845
