#include "ui/common/standardicon.h"

#include <QFile>
#include <QWidget>

namespace m845 {

namespace {

struct TPicture
{
    QStyle::StandardPixmap which;
    const char *name;
};

// Qt's pictures for the buttons this program uses.
constexpr TPicture kPictures[] = {{QStyle::SP_ArrowUp, "up"},
                                  {QStyle::SP_MediaPlay, "media-play"},
                                  {QStyle::SP_MediaStop, "media-stop"}};

} // namespace

QIcon QtOwnIcon(QStyle::StandardPixmap which)
{
    for (const TPicture &picture : kPictures) {
        if (picture.which != which)
            continue;
        QIcon icon;
        // The sizes a tool button draws, on a plain and on a double-density screen: each is
        // decoded as it is added, so the style's larger ones are left out.
        for (const int size : {16, 32}) {
            const QString file
                = QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png")
                      .arg(QLatin1String(picture.name))
                      .arg(size);
            if (!QFile::exists(file))
                return {};
            icon.addFile(file, QSize(size, size));
        }
        return icon;
    }
    return {};
}

QIcon StandardIcon(const QWidget *widget, QStyle::StandardPixmap which)
{
    if (QIcon::themeName() == QIcon::fallbackThemeName()) {
        if (QIcon icon = QtOwnIcon(which); !icon.isNull())
            return icon;
    }
    return widget->style()->standardIcon(which);
}

} // namespace m845
