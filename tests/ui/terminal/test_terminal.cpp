#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest/QTest>

#include "ui/terminal/sendpane.h"

namespace m845 {
namespace {

class SendPaneTest : public testing::Test
{
protected:
    SendPaneTest()
    {
        auto *layout = new QVBoxLayout(&window);
        pane = new TSendPane(&window, &window);
        layout->addWidget(pane);
        pane->SendData = [this](std::string_view d) {
            sent.emplace_back(d);
        };
        pane->SendSms = [this](const std::string &n, const std::string &t) {
            sms.push_back(n + "|" + t);
        };
        pane->ClearOperationMode = [this] {
            ++cleared;
        };
        box = pane->SendBox();
        chbTxHex = pane->findChild<QCheckBox *>(QStringLiteral("chbTxHex"));
        autoCR = pane->findChild<QAction *>(QStringLiteral("mniAutoCR"));
    }

    QWidget window;
    TSendPane *pane = nullptr;
    QPlainTextEdit *box = nullptr;
    QCheckBox *chbTxHex = nullptr;
    QAction *autoCR = nullptr;
    std::vector<std::string> sent;
    std::vector<std::string> sms;
    int cleared = 0;
};

struct AutoCRCase
{
    const char *text;
    bool autoCR;
    const char *wire;
};

class AutoCRTest : public SendPaneTest, public testing::WithParamInterface<AutoCRCase>
{
};

TEST_P(AutoCRTest, SendsTheBoxWithTheAutomaticLineEnd)
{
    box->setPlainText(QString::fromUtf8(GetParam().text));
    autoCR->setChecked(GetParam().autoCR);
    pane->actSendExecute();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0], GetParam().wire);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(box->toPlainText(), QString::fromUtf8(GetParam().text)); // the box keeps its text
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoCRTest,
    testing::Values(AutoCRCase{"at+ver", true, "at+ver\r\n"},
                    AutoCRCase{"AT+VER\n", true, "AT+VER\r\n"}, AutoCRCase{"A", true, "A"},
                    AutoCRCase{"hello", true, "hello"}, AutoCRCase{"AT+VER", false, "AT+VER"},
                    AutoCRCase{"line1\nline2", false, "line1\r\nline2"},
                    AutoCRCase{"\xE4\xBD\xA0\xE5\xA5\xBD", false, "\xC4\xE3\xBA\xC3"}));

TEST_F(SendPaneTest, EmptyBoxHandsOnNothingToSend)
{
    pane->actSendExecute();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_TRUE(sent[0].empty()); // the link ignores empty data
}

TEST_F(SendPaneTest, HexEntrySendsBytesOrNothing)
{
    chbTxHex->setChecked(true);
    box->setPlainText(QStringLiteral("41 54 0D 0A"));
    pane->actSendExecute();
    box->setPlainText(QStringLiteral("41 5G"));
    pane->actSendExecute();
    box->setPlainText(QStringLiteral("00 41 4"));
    pane->actSendExecute();
    EXPECT_EQ(sent, (std::vector<std::string>{"AT\r\n", std::string("\0A", 2)}));
}

TEST_F(SendPaneTest, HexCheckBoxConvertsTheBoxBothWays)
{
    box->setPlainText(QStringLiteral("AT"));
    chbTxHex->click();
    EXPECT_EQ(box->toPlainText(), QStringLiteral("41 54"));
    chbTxHex->click();
    EXPECT_EQ(box->toPlainText(), QStringLiteral("AT"));
    chbTxHex->click();
    box->setPlainText(QStringLiteral("zz"));
    chbTxHex->click();
    EXPECT_EQ(box->toPlainText(), QStringLiteral("zz")); // invalid hex stays as it is
}

TEST_F(SendPaneTest, SmsModeShowsTheNumberBarAndSendsAnSms)
{
    auto *bar = pane->findChild<QWidget *>(QStringLiteral("rztlbrSendTpye"));
    pane->pmSendTypeClick(kSendTypeSms);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(chbTxHex->isHidden());
    pane->findChild<QLineEdit *>(QStringLiteral("edtReTelNum"))
        ->setText(QStringLiteral("13800000000"));
    box->setPlainText(QStringLiteral("hi\nthere"));
    pane->actSendExecute();
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(sms, std::vector<std::string>{"8613800000000|hi\r\nthere"});
    pane->pmSendTypeClick(kSendTypeSerial);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(chbTxHex->isHidden());
}

TEST_F(SendPaneTest, SendKeysFollowTheChoice)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    box->setPlainText(QStringLiteral("AT"));
    box->moveCursor(QTextCursor::Start);

    // Design state: Enter adds an empty line at the end (not at the caret), Ctrl+Enter sends.
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->toPlainText(), QStringLiteral("AT\n"));
    EXPECT_TRUE(sent.empty());
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(sent, std::vector<std::string>{"AT\r\n"});

    pane->pmSendClick(kSendKeyEnter);
    EXPECT_EQ(pane->SendKeyTag(), kSendKeyEnter);
    EXPECT_EQ(pane->findChild<QToolButton *>(QStringLiteral("btnSend"))->toolTip(),
              pane->findChild<QAction *>(QStringLiteral("mniEnter"))->text());
    QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(sent.size(), 2U);
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(box->toPlainText(), QStringLiteral("AT\n\n"));
    EXPECT_EQ(sent.size(), 2U);

    // The keys act from any control of the window.
    auto *other = pane->findChild<QLineEdit *>(QStringLiteral("RzEdit1"));
    QTest::keyClick(other, Qt::Key_Return);
    EXPECT_EQ(sent.size(), 3U);
}

TEST_F(SendPaneTest, AutoCRItemTogglesOnlyItself)
{
    EXPECT_FALSE(autoCR->isChecked());
    autoCR->trigger();
    EXPECT_TRUE(autoCR->isChecked());
    EXPECT_EQ(pane->SendKeyTag(), kSendKeyCtrlEnter);
    pane->pmSendClick(kSendKeyAutoCR);
    EXPECT_FALSE(autoCR->isChecked());
}

TEST_F(SendPaneTest, ClearEmptiesTheFocusedEditOnly)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto *number = pane->findChild<QLineEdit *>(QStringLiteral("RzEdit1"));
    box->setPlainText(QStringLiteral("text"));
    number->setFocus();
    QTest::keyClick(number, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(number->text().isEmpty());
    EXPECT_EQ(box->toPlainText(), QStringLiteral("text"));
    box->setFocus();
    pane->actClsExecute();
    EXPECT_TRUE(box->toPlainText().isEmpty());
}

} // namespace
} // namespace m845
