#include "ui/common/standardicon.h"

#include <QFile>
#include <QWidget>

namespace m845 {

namespace {

struct TPicture
{
    QStyle::StandardPixmap which;
    const char *name;
    int largest; // its sizes run 16, 32, 128 up to this one
};

// Qt's pictures for the buttons this program uses, in the sizes its common style gives them.
constexpr TPicture kPictures[] = {{QStyle::SP_ArrowUp, "up", 128},
                                  {QStyle::SP_MediaPlay, "media-play", 32},
                                  {QStyle::SP_MediaStop, "media-stop", 32}};

} // namespace

QIcon QtOwnIcon(QStyle::StandardPixmap which)
{
    for (const TPicture &picture : kPictures) {
        if (picture.which != which)
            continue;
        QIcon icon;
        for (const int size : {16, 32, 128}) {
            if (size > picture.largest)
                break;
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
