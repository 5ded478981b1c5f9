// Shows the real windows on a throw-away Desktop and saves pictures of them,
// so their layout can be checked by eye: the main window before and after a
// pass, the pass's result box, and both pages of the Options dialog.
//
// Usage: screenshot_tool OUTPUT_FOLDER (run under an X server; see
// scripts/screenshots.sh).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

#include "GuiTestSupport.h"
#include "ui/BrowseForFolder.h"
#include "ui/QtYield.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

namespace {

QString gOutput;

void Save(QWidget& widget, const char* name)
{
    QTest::qWait(200);  // let the window system settle and paint
    const QString file = gOutput + "/" + QString::fromLatin1(name) + ".png";
    if (!widget.grab().save(file))
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
    else
        std::printf("%s\n", qPrintable(file));
}

// Real boxes, shown long enough to be photographed, then answered.
class PhotographedBoxes final : public tidyfold::ui::MessageBoxes {
public:
    QMessageBox::StandardButton Show(QWidget* parent, const QString& text, const QString& title,
                                     QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) override
    {
        QString shown = text;
        shown.replace("\r\n", "\n");
        QMessageBox box(icon, title, shown, buttons, parent);
        box.show();
        (void)QTest::qWaitForWindowExposed(&box);
        const QByteArray name = "box_" + QByteArray::number(++count_);
        Save(box, name.constData());
        return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
    }

private:
    int count_ = 0;
};

void PrepareDesktop(const tidyfold::test::Sandbox& sandbox)
{
    using tidyfold::test::WriteFile;
    sandbox.WriteSettings(
        tidyfold::test::WindowOptions(sandbox, tidyfold::TransferMode::CopyThenDelete, /*delUCFolders=*/1));
    WriteFile(sandbox.Desktop() + "/notes.txt", std::string(200000, 'n'));
    WriteFile(sandbox.Desktop() + "/Projects/old report with a rather long name.odt", std::string(300000, 'r'));
    WriteFile(sandbox.Desktop() + "/photos.zip", "zip");
    WriteFile(sandbox.Desktop() + "/photos/one.jpg", "jpg");
    // The program's own agreement text, as it lies beside the program.
    QFile::copy(QCoreApplication::applicationDirPath() + "/license.rtf",
                QString::fromStdString(sandbox.AppFolder() + "/license.rtf"));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    gOutput = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOutput);
    QApplication::setQuitOnLastWindowClosed(false);

    const auto sandbox = tidyfold::test::WindowSandbox();
    PrepareDesktop(*sandbox);
    PhotographedBoxes boxes;
    tidyfold::ui::SetMessageBoxes(&boxes);
    tidyfold::ui::InstallQtYieldHook();

    {
        tidyfold::ui::frmMain window;
        window.SetClock(tidyfold::test::MinuteAhead());  // the files just made are old
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        Save(window, "main_before");
        window.findChild<QPushButton*>("cmdClean")->click();
        Save(window, "main_after");
    }
    {
        tidyfold::ui::frmOptions dialog;
        dialog.show();
        (void)QTest::qWaitForWindowExposed(&dialog);
        Save(dialog, "options_general");
        dialog.findChild<QTabWidget*>("tbsOptions")->setCurrentIndex(1);
        Save(dialog, "options_fileops");
        // A path far wider than the page is shortened in the middle.
        tidyfold::SetFolderDialogForTesting([](QWidget*, const QString&, const QString&) {
            return QString("/home/someone/Documents/Archive of everything taken off the desktop/2026/"
                           "December/the very last folder");
        });
        dialog.findChild<QPushButton*>("cmdBrowse")->click();
        tidyfold::SetFolderDialogForTesting({});
        Save(dialog, "options_fileops_long_path");
    }
    tidyfold::ui::SetMessageBoxes(nullptr);
    return 0;
}
