#include <vector>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFont>

#include "ui/common/sizedcombo.h"

namespace m845 {
namespace {

using TWidth = TSizedComboBox::TWidth;

struct TCase
{
    const char *name;
    TWidth rule;
    std::vector<const char *> items;
    int minimumLength;
    bool editable;
    int pointSize;
};

// Qt's box under the policy the rule stands for, set up the same way.
void Prepare(QComboBox &box, const TCase &c)
{
    box.setEditable(c.editable);
    for (const char *item : c.items)
        box.addItem(QString::fromLatin1(item));
    box.setMinimumContentsLength(c.minimumLength);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(c.pointSize);
    box.setFont(font);
}

// Our hints must be Qt's to the pixel, or every list of the window would move.
TEST(SizedComboBox, HintsAreThoseOfQtsPolicy)
{
    const TCase cases[] = {
        {"empty port list", TWidth::Contents, {}, 0, true, 9},
        {"port list",
         TWidth::Contents,
         {"ttyS0", "ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00"},
         0,
         true,
         9},
        {"contents, large font", TWidth::Contents, {"NONE", "ODD", "EVEN"}, 0, false, 14},
        {"contents with a minimum", TWidth::Contents, {"a"}, 12, false, 9},
        {"panel list", TWidth::MinimumLength, {"TCP", "UDP"}, 6, false, 9},
        {"panel list, long items",
         TWidth::MinimumLength,
         {"Send data to network", "Send data to serial port"},
         6,
         false,
         9},
        {"panel list, no minimum", TWidth::MinimumLength, {"x"}, 0, false, 9},
    };
    for (const TCase &c : cases) {
        QComboBox qt;
        qt.setSizeAdjustPolicy(c.rule == TWidth::Contents
                                   ? QComboBox::AdjustToContents
                                   : QComboBox::AdjustToMinimumContentsLengthWithIcon);
        Prepare(qt, c);
        TSizedComboBox ours(c.rule);
        Prepare(ours, c);
        EXPECT_EQ(ours.sizeHint(), qt.sizeHint()) << c.name;
        EXPECT_EQ(ours.minimumSizeHint(), qt.minimumSizeHint()) << c.name;
    }
}

// The hint follows what it depends on after it was first asked for.
TEST(SizedComboBox, HintFollowsChanges)
{
    QComboBox qt;
    qt.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    TSizedComboBox ours(TWidth::Contents);
    for (QComboBox *box : {static_cast<QComboBox *>(&qt), static_cast<QComboBox *>(&ours)}) {
        box->addItem(QStringLiteral("ttyS0"));
        (void)box->sizeHint();
        box->addItem(QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0"));
    }
    EXPECT_EQ(ours.sizeHint(), qt.sizeHint()) << "item added";
    for (QComboBox *box : {static_cast<QComboBox *>(&qt), static_cast<QComboBox *>(&ours)})
        box->setItemText(1, QStringLiteral("ttyUSB0"));
    EXPECT_EQ(ours.sizeHint(), qt.sizeHint()) << "item renamed";
    for (QComboBox *box : {static_cast<QComboBox *>(&qt), static_cast<QComboBox *>(&ours)}) {
        QFont font = box->font();
        font.setPointSize(16);
        box->setFont(font);
    }
    EXPECT_EQ(ours.sizeHint(), qt.sizeHint()) << "font";
    for (QComboBox *box : {static_cast<QComboBox *>(&qt), static_cast<QComboBox *>(&ours)})
        box->setMinimumContentsLength(30);
    EXPECT_EQ(ours.minimumSizeHint(), qt.minimumSizeHint()) << "minimum length";
}

} // namespace
} // namespace m845
