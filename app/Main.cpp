#include <QApplication>

#include "app/Module.h"
#include "ui/AppIcon.h"
#include "ui/InitControlClasses.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"

namespace tidyfold {

int Main(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidyfold"));
    // Ties the windows to the launcher, so the desktop shows its icon and
    // name for them (the Wayland app id, and the X11 startup notice).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tidyfold.Tidyfold"));
    QApplication::setWindowIcon(ui::AppIcon());
    // A failure here is not worth stopping for: the window shows anyway.
    (void)InitControlClasses();
    ui::InstallQtYieldHook();

    ui::frmMain window;
    window.show();
    // Ends when the last window closes, or on File > Exit.
    return QApplication::exec();
}

}  // namespace tidyfold

int main(int argc, char** argv)
{
    return tidyfold::Main(argc, argv);
}
