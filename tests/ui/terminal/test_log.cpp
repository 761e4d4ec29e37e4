#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QtTest/QTest>

#include "support/encoding.h"
#include "ui/terminal/logpane.h"

namespace m845 {
namespace {

class LogPaneTest : public testing::Test
{
protected:
    LogPaneTest()
    {
        chbTime = pane.findChild<QCheckBox *>(QStringLiteral("chbTime"));
        chbRxHex = pane.findChild<QCheckBox *>(QStringLiteral("chbRxHex"));
        lblReCount = pane.findChild<QLabel *>(QStringLiteral("lblReCount"));
    }

    [[nodiscard]] QStringList Lines(QPlainTextEdit *box = nullptr)
    {
        pane.Flush();
        const QString all = (box != nullptr ? box : pane.Dialog())->toPlainText();
        return all.isEmpty() ? QStringList() : all.split(QLatin1Char('\n'));
    }
    // Colour of the first character of a line of the log.
    [[nodiscard]] QColor LineColour(int line)
    {
        pane.Flush();
        const QTextBlock block = pane.Dialog()->document()->findBlockByNumber(line);
        return block.begin().fragment().charFormat().foreground().color();
    }

    TLogPane pane;
    QCheckBox *chbTime = nullptr;
    QCheckBox *chbRxHex = nullptr;
    QLabel *lblReCount = nullptr;
};

TEST_F(LogPaneTest, EachWriterHasItsColour)
{
    const QColor text = pane.Dialog()->palette().color(QPalette::Text);
    pane.LogRx("rx");
    pane.LogRxOther("other");
    pane.LogTx("tx");
    pane.LogInfo("info");
    pane.LogWarn("warn");
    EXPECT_EQ(Lines(),
              (QStringList{QStringLiteral("rx"), QStringLiteral("other"), QStringLiteral("tx"),
                           QStringLiteral("info"), QStringLiteral("warn")}));
    EXPECT_EQ(LineColour(0), QColor(0, 128, 0));
    EXPECT_EQ(LineColour(1), text);
    EXPECT_EQ(LineColour(2), QColor(0, 0, 255));
    EXPECT_EQ(LineColour(3), text);
    EXPECT_EQ(LineColour(4), QColor(255, 0, 0));
}

struct HeaderCase
{
    const char *name;
    bool hex;
    const char *header; // pattern of the first line
    const char *data;   // the second line
};

class LogHeaderTest : public LogPaneTest, public testing::WithParamInterface<HeaderCase>
{
};

TEST_P(LogHeaderTest, TimeHeaderAndHexDisplay)
{
    const HeaderCase &c = GetParam();
    chbTime->setChecked(true);
    chbRxHex->setChecked(c.hex);
    const std::string name = c.name;
    if (name == "rx")
        pane.LogRx("OK");
    else if (name == "rxother")
        pane.LogRxOther("OK");
    else if (name == "tx")
        pane.LogTx("OK");
    else
        pane.LogWarn("OK");
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.header)).match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], QString::fromLatin1(c.data));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, LogHeaderTest,
    testing::Values(HeaderCase{"rx", false, R"(^>\[Rx<-\]\[\d\d:\d\d:\d\d\]\[asc\]$)", "OK"},
                    HeaderCase{"rx", true, R"(^>\[Rx<-\]\[\d\d:\d\d:\d\d\]\[Hex\]$)", "4F 4B"},
                    HeaderCase{"rxother", true, R"(^>\[Rx<-\]\[\d\d:\d\d:\d\d\]\[Hex\]$)", "4F 4B"},
                    HeaderCase{"tx", false, R"(^>\[Tx->\]\[\d\d:\d\d:\d\d\]\[asc\]$)", "OK"},
                    HeaderCase{"tx", true, R"(^>\[Tx->\]\[\d\d:\d\d:\d\d\]\[Hex\]$)", "4F 4B"},
                    // Warnings are never shown in hex.
                    HeaderCase{"warn", true, R"(^>\[Warn\]\[\d\d:\d\d:\d\d\]$)", "OK"}),
    [](const testing::TestParamInfo<HeaderCase> &info) {
        return std::string(info.param.name) + (info.param.hex ? "Hex" : "Text");
    });

TEST_F(LogPaneTest, NoHeaderWithoutTimeAndNoneForInfo)
{
    chbTime->setChecked(true);
    pane.LogInfo("plain");
    chbTime->setChecked(false);
    pane.LogWarn("bare");
    EXPECT_EQ(Lines(), (QStringList{QStringLiteral("plain"), QStringLiteral("bare")}));
}

TEST_F(LogPaneTest, CountersCountWireBytesAndWrap)
{
    chbRxHex->setChecked(true);
    pane.LogRx("OK\r\n"); // counted before the hex rendering
    pane.LogRxOther("abc");
    pane.LogTx("never counted");
    pane.LogInfo("nor this");
    pane.LogWarn("warn"); // warnings count as received
    EXPECT_EQ(pane.RxCount(), 11U);
    EXPECT_EQ(pane.TxCount(), 0U);
    pane.Flush();
    EXPECT_EQ(lblReCount->text(), QStringLiteral("11"));

    pane.CountRx(0xFFFFFFFFU);
    pane.CountTx(0xFFFFFFFFU);
    pane.CountTx(3);
    EXPECT_EQ(pane.RxCount(), 10U);
    EXPECT_EQ(pane.TxCount(), 2U);
    pane.btnResetClick();
    EXPECT_EQ(pane.RxCount(), 0U);
    EXPECT_EQ(pane.TxCount(), 0U);
    EXPECT_EQ(lblReCount->text(), QStringLiteral("0"));
}

TEST_F(LogPaneTest, LineBreaksInsideAnEntryStartNewLines)
{
    pane.LogRxOther("a\r\nb\rc\nd");
    EXPECT_EQ(Lines(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                    QStringLiteral("d")}));
}

TEST_F(LogPaneTest, NulByteDoesNotHideTheRestOfTheBlock)
{
    pane.LogRxOther(std::string("AB\0CD", 5));
    EXPECT_EQ(Lines(), QStringList{QStringLiteral("AB") + QChar(0x2400) + QStringLiteral("CD")});
    chbRxHex->setChecked(true);
    pane.LogRxOther(std::string("A\0", 2));
    EXPECT_EQ(Lines().last(), QStringLiteral("41 00"));
}

TEST_F(LogPaneTest, DeviceTextIsGbkAndProgramTextIsUtf8)
{
    pane.LogRxOther("\xC4\xE3\xBA\xC3");      // GBK
    pane.LogInfo("\xE4\xBD\xA0\xE5\xA5\xBD"); // UTF-8
    pane.LogWarn("+ERR:\xE4\xBD\xA0");        // UTF-8 too
    const QString ni = QString::fromUtf8("\xE4\xBD\xA0");
    EXPECT_EQ(Lines(), (QStringList{QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"),
                                    QString::fromUtf8("\xE4\xBD\xA0\xE5\xA5\xBD"),
                                    QStringLiteral("+ERR:") + ni}));
}

TEST_F(LogPaneTest, WarningsCountTheDevicesBytesNotUtf8)
{
    // What the device sent, including bytes that are no GBK and a NUL, is counted byte for
    // byte once its warning has been converted for the log.
    const std::string sent("+ERR:\xC4\xE3\x81\x20\xFF\0-1", 13);
    pane.SetHexMirror(true);
    pane.LogWarn(GbkToUtf8(sent));
    EXPECT_EQ(pane.RxCount(), sent.size());
    EXPECT_EQ(Lines().last(), QString::fromUtf8("+ERR:\xE4\xBD\xA0\xEF\xBF\xBD \xEF\xBF\xBD")
                                  + QChar(0x2400) + QStringLiteral("-1"));
    pane.LogWarn("\xE4\xB8\xB2\xE5\x8F\xA3"); // 串口: 4 bytes in GBK, 6 in UTF-8
    EXPECT_EQ(pane.RxCount(), sent.size() + 4);
    pane.Flush();
    const QString mirror
        = pane.findChild<QPlainTextEdit *>(QStringLiteral("edtDialogHex"))->toPlainText();
    EXPECT_TRUE(mirror.contains(QStringLiteral("\nB4 AE BF DA"))) << mirror.toStdString();
}

TEST_F(LogPaneTest, HexMirrorRepeatsEveryEntryOnlyWhileOn)
{
    pane.LogInfo("skip");
    pane.SetHexMirror(true);
    chbTime->setChecked(false);
    pane.LogRxOther("AT\r\n");
    pane.LogInfo("x");
    EXPECT_EQ(Lines(pane.DialogHex()),
              (QStringList{QStringLiteral("41 54 0D 0A "), QStringLiteral("78 ")}));
    EXPECT_FALSE(pane.DialogHex()->isHidden());
    pane.SetHexMirror(false);
    pane.LogInfo("y");
    EXPECT_EQ(Lines(pane.DialogHex()).size(), 2);
    EXPECT_TRUE(pane.DialogHex()->isHidden());
    // Written while off, shown after the mirror came back on: still not mirrored.
    pane.LogInfo("z");
    pane.SetHexMirror(true);
    EXPECT_EQ(Lines(pane.DialogHex()).size(), 2);
}

TEST_F(LogPaneTest, ReachingTheLineLimitEmptiesTheLog)
{
    // 65534 lines stay; a two-line time-stamped entry steps to 65536 and empties the log,
    // taking itself with it.
    std::string lines;
    for (int i = 0; i < kLogLineLimit - 2; ++i)
        lines += "l\n";
    lines += "l";
    pane.LogInfo(lines);
    pane.Flush();
    EXPECT_EQ(pane.Dialog()->document()->blockCount(), kLogLineLimit - 1);
    chbTime->setChecked(true);
    pane.LogRx("OK");
    pane.Flush();
    EXPECT_TRUE(pane.Dialog()->toPlainText().isEmpty());
    pane.LogInfo("after");
    EXPECT_EQ(Lines(), QStringList{QStringLiteral("after")});
}

TEST_F(LogPaneTest, LineLimitAppliesPerEntryWithinOneBatch)
{
    pane.SetLineLimitForTest(4);
    for (const char *t : {"1", "2", "3", "4", "5"})
        pane.LogInfo(t);
    EXPECT_EQ(Lines(), QStringList{QStringLiteral("5")});
}

// Entries flushed together must leave the same boxes as entries flushed one by one: the same
// lines in the same order and colours, the line limit met at the same entry.
struct BatchCase
{
    const char *name;
    int limit;
    bool time;
};

class LogBatchTest : public testing::TestWithParam<BatchCase>
{
protected:
    static void Write(TLogPane &pane, bool flushEach)
    {
        pane.SetHexMirror(true);
        pane.SetLineLimitForTest(GetParam().limit);
        pane.findChild<QCheckBox *>(QStringLiteral("chbTime"))->setChecked(GetParam().time);
        const auto step = [&] {
            if (flushEach)
                pane.Flush();
        };
        for (int round = 0; round < 4; ++round) {
            pane.LogInfo("");
            step();
            pane.LogRx("OK\r\n");
            step();
            pane.LogRx("more\r\nlines\rhere");
            step();
            pane.LogTx("AT+VER\r\n");
            step();
            pane.LogInfo("para\xE2\x80\xA9graph");
            step();
            pane.LogRxOther(std::string("a\0b\n", 4));
            step();
            pane.LogWarn("+ERR:-1");
            step();
        }
        pane.Flush();
    }
    // Text and colour of every line, the time of writing masked (the second may turn between
    // the two runs).
    static QStringList Shown(QPlainTextEdit *box)
    {
        static const QRegularExpression time(QStringLiteral(R"(\d\d:\d\d:\d\d|(3\d )+3\d)"));
        QStringList lines;
        for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
            const QColor colour = b.begin().atEnd()
                                      ? b.charFormat().foreground().color()
                                      : b.begin().fragment().charFormat().foreground().color();
            lines << colour.name() + QLatin1Char(' ') + QString(b.text()).replace(time, QString());
        }
        return lines;
    }
};

TEST_P(LogBatchTest, OneFlushEqualsAFlushPerEntry)
{
    TLogPane each;
    TLogPane batched;
    Write(each, true);
    Write(batched, false);
    EXPECT_EQ(Shown(batched.Dialog()), Shown(each.Dialog()));
    EXPECT_EQ(Shown(batched.DialogHex()), Shown(each.DialogHex()));
    EXPECT_LT(each.Dialog()->document()->blockCount(), GetParam().limit);
    EXPECT_GT(each.Dialog()->document()->blockCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, LogBatchTest,
    testing::Values(BatchCase{"NoLimitReached", 65535, true}, BatchCase{"ManyClears", 7, false},
                    BatchCase{"ManyClearsTimed", 9, true}, BatchCase{"ClearNearTheEnd", 50, true}),
    [](const testing::TestParamInfo<BatchCase> &info) { return std::string(info.param.name); });

TEST_F(LogPaneTest, AppendsArriveWithTheNextEventLoopTurn)
{
    pane.LogInfo("queued");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return pane.Dialog()->toPlainText() == QStringLiteral("queued"); }));
    // After a frame of more lines than the log shows the next one waits a little, but comes.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "line\n";
    pane.LogRxOther(many);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane.Dialog()->document()->blockCount() > 300; }));
    pane.LogInfo("last");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return pane.Dialog()->toPlainText().endsWith(QStringLiteral("\nlast")); }));
}

TEST_F(LogPaneTest, TheLargestCountFitsItsLabel)
{
    pane.resize(500, 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    pane.CountRx(0xFFFFFFFFU);
    pane.Flush();
    EXPECT_EQ(lblReCount->text(), QStringLiteral("4294967295"));
    EXPECT_TRUE(lblReCount->isVisible());
    EXPECT_GE(lblReCount->width(), lblReCount->fontMetrics().horizontalAdvance(lblReCount->text()));
}

} // namespace
} // namespace m845
