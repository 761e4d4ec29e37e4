#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QStyle>
#include <QWidget>

#include "ui/common/standardicon.h"

namespace m845 {
namespace {

// Without an icon theme, where the short way is taken.
class StandardIconTest : public testing::TestWithParam<QStyle::StandardPixmap>
{
protected:
    StandardIconTest() { QIcon::setThemeName(QIcon::fallbackThemeName()); }
    ~StandardIconTest() override { QIcon::setThemeName(m_theme); }

private:
    QString m_theme = QIcon::themeName();
};

// The short way must give the very pictures the style gives, in the sizes a button draws.
TEST_P(StandardIconTest, SamePicturesAsTheStyle)
{
    QWidget widget;
    const QIcon ours = StandardIcon(&widget, GetParam());
    const QIcon style = widget.style()->standardIcon(GetParam());
    ASSERT_FALSE(QtOwnIcon(GetParam()).isNull()) << "the theme would be searched";
    for (const int size : {16, 32}) {
        EXPECT_EQ(ours.pixmap(size).toImage(), style.pixmap(size).toImage()) << size;
        EXPECT_EQ(ours.pixmap(size).size(), QSize(size, size));
    }
}

INSTANTIATE_TEST_SUITE_P(Buttons, StandardIconTest,
                         testing::Values(QStyle::SP_ArrowUp, QStyle::SP_MediaPlay,
                                         QStyle::SP_MediaStop));

} // namespace
} // namespace m845
