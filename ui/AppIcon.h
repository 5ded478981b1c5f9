#pragma once

#include <QIcon>
#include <QPixmap>

namespace tidyfold::ui {

// The program's icon, the same pictures as the launcher's, at every size
// the icon theme has them.
QIcon AppIcon();

// The main window's banner for a screen of the given pixel density: drawn
// twice as large where it would otherwise be blown up.
QPixmap BannerPixmap(qreal devicePixelRatio);

}  // namespace tidyfold::ui
