#include <QApplication>

#include "app/Module.h"
#include "ui/InitControlClasses.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"

namespace tidyfold {

int Main(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidyfold"));
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
