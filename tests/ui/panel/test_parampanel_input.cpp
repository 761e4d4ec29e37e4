// Keyboard filter of the hexadecimal data boxes, wheel scrolling and click focus.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include "test_parampanel_fixture.h"
#include "ui/panel/workmodediagram.h"

namespace m845::test {
namespace {

struct KeyCase
{
    Qt::Key key; // Qt::Key_unknown: type ch instead
    char ch;
    Qt::KeyboardModifiers modifiers;
    const char *before;
    const char *afterWhileHex;
};

// Typed at the end of the text; before/after are the whole box.
const KeyCase kKeys[] = {
    {Qt::Key_unknown, 'g', Qt::NoModifier, "41", "41"},
    {Qt::Key_unknown, 'G', Qt::NoModifier, "41", "41"},
    {Qt::Key_Space, 0, Qt::NoModifier, "41", "41"},
    {Qt::Key_unknown, '-', Qt::NoModifier, "41", "41"},
    {Qt::Key_unknown, 'f', Qt::NoModifier, "41", "41f"},
    {Qt::Key_unknown, 'F', Qt::NoModifier, "41", "41F"},
    {Qt::Key_unknown, 'a', Qt::NoModifier, "41", "41a"},
    {Qt::Key_unknown, '0', Qt::NoModifier, "41", "410"},
    {Qt::Key_unknown, '9', Qt::NoModifier, "41", "419"},
    {Qt::Key_Backspace, 0, Qt::NoModifier, "41", "4"},
    {Qt::Key_A, 0, Qt::ControlModifier, "41", "41"}, // select-all is no hexadecimal key
};

class HexKeyTest : public ParamPanelTest, public ::testing::WithParamInterface<const char *>
{
protected:
    void SetUp() override
    {
        ParamPanelTest::SetUp();
        P().SetChecked(PanelCheck::RegEn, true);
        P().SetChecked(PanelCheck::HeartEn, true);
        m_box = W<QLineEdit>(GetParam());
        m_hex = W<QCheckBox>(m_box->objectName() == QStringLiteral("edtHeartDt")
                                 ? "rzchckbxHeartDtHex"
                                 : "rzchckbxRegDtHex");
        m_box->setFocus();
    }
    void Type(const KeyCase &k)
    {
        m_box->setText(QString::fromLatin1(k.before));
        m_box->end(false);
        if (k.key == Qt::Key_unknown)
            QTest::keyClick(m_box, k.ch, k.modifiers);
        else
            QTest::keyClick(m_box, k.key, k.modifiers);
    }

    QLineEdit *m_box = nullptr;
    QCheckBox *m_hex = nullptr;
};

TEST_P(HexKeyTest, OnlyHexDigitsAndEditingKeysPassWhileHexIsTicked)
{
    m_hex->setChecked(true);
    for (const KeyCase &k : kKeys) {
        Type(k);
        EXPECT_EQ(m_box->text(), QString::fromLatin1(k.afterWhileHex))
            << "key " << k.key << " char " << k.ch << " modifiers " << k.modifiers.toInt();
    }
    QSignalSpy returns(m_box, &QLineEdit::returnPressed);
    QTest::keyClick(m_box, Qt::Key_Return);
    QTest::keyClick(m_box, Qt::Key_Enter);
    EXPECT_EQ(returns.count(), 0);
}

TEST_P(HexKeyTest, NothingIsFilteredWhileHexIsClear)
{
    m_hex->setChecked(false);
    Type({Qt::Key_unknown, 'g', Qt::NoModifier, "x", ""});
    EXPECT_EQ(m_box->text(), QStringLiteral("xg"));
    Type({Qt::Key_Space, 0, Qt::NoModifier, "x", ""});
    EXPECT_EQ(m_box->text(), QStringLiteral("x "));
    QSignalSpy returns(m_box, &QLineEdit::returnPressed);
    QTest::keyClick(m_box, Qt::Key_Return);
    EXPECT_EQ(returns.count(), 1);
}

TEST_P(HexKeyTest, ClipboardKeysCutAndPasteButCopyIsDiscarded)
{
    m_hex->setChecked(true);
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->setText(QStringLiteral("not hex!"));
    m_box->setText(QStringLiteral("4142"));
    m_box->selectAll();
    QTest::keyClick(m_box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("not hex!"));

    QTest::keyClick(m_box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(m_box->text().isEmpty());
    EXPECT_EQ(clipboard->text(), QStringLiteral("4142"));

    clipboard->setText(QStringLiteral("zz 9"));
    QTest::keyClick(m_box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_box->text(), QStringLiteral("zz 9")) << "pasted text is not checked";
}

TEST_P(HexKeyTest, CursorKeysStillMove)
{
    m_hex->setChecked(true);
    m_box->setText(QStringLiteral("4142"));
    m_box->end(false);
    QTest::keyClick(m_box, Qt::Key_Left);
    QTest::keyClick(m_box, Qt::Key_Delete);
    EXPECT_EQ(m_box->text(), QStringLiteral("414"));
    EXPECT_EQ(m_box->cursorPosition(), 3);
}

TEST_P(HexKeyTest, FocusAndEditingKeysPassWithOrWithoutControl)
{
    m_hex->setChecked(true);
    m_box->setText(QStringLiteral("4142"));
    m_box->end(false);
    QTest::keyClick(m_box, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(m_box->cursorPosition(), 0);
    QTest::keyClick(m_box, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(m_box->cursorPosition(), 4);
    QTest::keyClick(m_box, Qt::Key_Home);
    QTest::keyClick(m_box, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(m_box->text().isEmpty());
    QApplication::clipboard()->setText(QStringLiteral("AB"));
    QTest::keyClick(m_box, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(m_box->text(), QStringLiteral("AB"));

    m_panel->activateWindow();
    m_box->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_box->hasFocus(); }));
    QTest::keyClick(m_box, Qt::Key_Tab);
    EXPECT_FALSE(m_box->hasFocus()) << "Tab leaves the box";
    EXPECT_EQ(m_box->text(), QStringLiteral("AB"));
    m_box->setFocus();
    QTest::keyClick(m_box, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(m_box->hasFocus()) << "Shift+Tab leaves the box";
}

TEST_P(HexKeyTest, ComposedTextIsFilteredLikeKeys)
{
    m_hex->setChecked(true);
    m_box->setText(QStringLiteral("41"));
    m_box->end(false);
    for (const char *commit : {"中", "4G", "4f"}) {
        QInputMethodEvent event;
        event.setCommitString(QString::fromUtf8(commit));
        QApplication::sendEvent(m_box, &event);
    }
    EXPECT_EQ(m_box->text(), QStringLiteral("414f"));
}

INSTANTIATE_TEST_SUITE_P(BothDataBoxes, HexKeyTest, ::testing::Values("edtHeartDt", "cbbRegDt"));

using ScrollTest = ParamPanelTest;

void Wheel(QWidget *target, int delta)
{
    const QPointF pos(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST_F(ScrollTest, EachWheelStepScrollsOneLine)
{
    P().resize(589, 460);
    for (auto box : {PanelCheck::SktA, PanelCheck::SktB, PanelCheck::HeartEn, PanelCheck::RegEn,
                     PanelCheck::More})
        P().SetChecked(box, true);
    QApplication::processEvents();

    for (const char *name : {"advscrlbxPara", "advscrlbxBase"}) {
        SCOPED_TRACE(name);
        auto *area = W<QScrollArea>(name);
        QScrollBar *bar = area->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 3 * bar->singleStep()) << "the content must overflow";
        bar->setValue(0);
        const int line = bar->singleStep();

        Wheel(area->viewport(), -120);
        EXPECT_EQ(bar->value(), line);
        Wheel(area->viewport(), -1200);
        EXPECT_EQ(bar->value(), 2 * line) << "a large delta is still one line";
        Wheel(area->viewport(), 15);
        EXPECT_EQ(bar->value(), line);
        Wheel(area->viewport(), 0);
        EXPECT_EQ(bar->value(), line) << "no delta turns nothing";
    }
}

TEST_F(ScrollTest, WheelOverAnUnfocusedListScrollsThePage)
{
    P().resize(589, 460);
    P().SetChecked(PanelCheck::SktA, true);
    QApplication::processEvents();
    auto *bar = W<QScrollArea>("advscrlbxPara")->verticalScrollBar();
    auto *protocol = W<QComboBox>("cbbProtocolA");
    bar->setValue(0);

    Wheel(protocol, -120);
    EXPECT_EQ(protocol->currentIndex(), 0);
    EXPECT_EQ(bar->value(), bar->singleStep());
}

TEST_F(ScrollTest, ClickingAContainerGivesItTheFocus)
{
    P().SetChecked(PanelCheck::More, true);
    QApplication::processEvents();
    for (const char *name : {"rzgrpbxUart", "rzgrpbxPara", "rzgrpbxMore"}) {
        QWidget *container = W(name);
        QTest::mouseClick(container, Qt::LeftButton, Qt::NoModifier,
                          QPoint(2, container->height() - 2));
        EXPECT_EQ(P().focusWidget(), container) << name;
    }
    QWidget *content = W<QScrollArea>("advscrlbxPara")->widget();
    QTest::mouseClick(content, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(P().focusWidget(), W("advscrlbxPara"));
}

// The diagrams are drawn, not loaded: each of the six differs and all of them stay sharp
// when painted at twice the size.
TEST(WorkModeDiagram, SixDistinctPicturesDrawnAtAnyScale)
{
    TWorkModeDiagram diagram;
    EXPECT_FALSE(diagram.SetPicture(QStringLiteral("Net")));
    EXPECT_FALSE(diagram.SetPicture(QStringLiteral("Udc_en")));
    std::vector<QImage> images;
    for (const char *name : {"Net_en", "Net_cn", "Http_en", "Http_cn", "Sms_en", "Sms_cn"}) {
        ASSERT_TRUE(diagram.SetPicture(QString::fromLatin1(name)));
        diagram.resize(2 * TWorkModeDiagram::kWidth, 2 * TWorkModeDiagram::kHeight);
        QImage image(diagram.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        diagram.render(&image);
        int inked = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                inked += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
        EXPECT_GT(inked, 500) << name;
        for (const QImage &other : images)
            EXPECT_NE(image, other) << name;
        images.push_back(image);
    }
}

} // namespace
} // namespace m845::test
