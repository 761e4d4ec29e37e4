#pragma once

// The style's standard button pictures, without a search of the icon theme where it cannot
// find them.

#include <QIcon>
#include <QStyle>

class QWidget;

namespace m845 {

// The same picture as widget->style()->standardIcon(which). Where no icon theme is set up (only
// the fallback theme, hicolor, which holds no button pictures), Qt's own pictures are taken
// directly, in the sizes a tool button draws: the failed theme search cost more than building
// the rest of the serial tool bar.
[[nodiscard]] QIcon StandardIcon(const QWidget *widget, QStyle::StandardPixmap which);
// Qt's own picture for one of the buttons of this program; null for any other or when Qt has
// none under the name looked for.
[[nodiscard]] QIcon QtOwnIcon(QStyle::StandardPixmap which);

} // namespace m845
