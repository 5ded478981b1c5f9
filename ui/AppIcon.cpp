#include "ui/AppIcon.h"

#include <QString>

// The pictures live in a static library: nothing would pull their resource
// object into the program unless it is named somewhere.
static void InitTidyfoldResources()
{
    Q_INIT_RESOURCE(tidyfold);
}

namespace tidyfold::ui {

QIcon AppIcon()
{
    InitTidyfoldResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap BannerPixmap(qreal devicePixelRatio)
{
    InitTidyfoldResources();
    if (devicePixelRatio <= 1.0)
        return QPixmap(QStringLiteral(":/banner.png"));
    QPixmap sharp(QStringLiteral(":/banner@2x.png"));
    sharp.setDevicePixelRatio(2.0);
    return sharp;
}

}  // namespace tidyfold::ui
