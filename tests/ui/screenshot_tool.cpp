// Shows the real windows on a throw-away Desktop and saves pictures of them,
// so their layout can be checked by eye: the Preview, the main window before
// and after a pass, the pass's result box, About, the History before and
// after an Undo, the pages of the Options dialog, and the window icon at the
// sizes the desktop draws it.
//
// Usage: screenshot_tool OUTPUT_FOLDER [--dark] (run under an X server; see
// scripts/screenshots.sh). --dark shows the windows in a dark palette, as a
// desktop with a dark theme gives them; QT_SCALE_FACTOR=2 in the
// environment shows them as on a screen of twice the pixel density.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <optional>

#include "GuiTestSupport.h"
#include "tests/support/TestArchive.h"
#include "engine/cTidyfold.h"
#include "history/History.h"
#include "ui/BrowseForFolder.h"
#include "ui/AppIcon.h"
#include "ui/QtYield.h"
#include "ui/frmHistory.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPreview.h"

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

// A Desktop as people have one: documents and photos, a zip beside the
// folder it was unpacked into, an empty folder, an empty file, a launcher.
void PrepareDesktop(const tidyfold::test::Sandbox& sandbox)
{
    using tidyfold::test::WriteFile;
    tidyfold::cOptions options = sandbox.Options(tidyfold::TransferMode::Move);  // 7 days
    options.DelUCFolders(1);
    options.DelNullFiles(1);
    options.OffloadPath(sandbox.DefaultTrash());
    options.KeepPatterns(std::nullopt);  // launchers and hidden files stay
    sandbox.WriteSettings(options);
    const std::string desktop = sandbox.Desktop();
    WriteFile(desktop + "/notes.txt", std::string(2000, 'n'));
    WriteFile(desktop + "/Budget 2026.ods", std::string(48000, 'b'));
    WriteFile(desktop + "/Projects/old report with a rather long name that does not fit its column, final.odt",
              std::string(300000, 'r'));
    WriteFile(desktop + "/Holiday photos/IMG_0412.jpg", std::string(900000, 'p'));
    WriteFile(desktop + "/Holiday photos/IMG_0413.jpg", std::string(850000, 'q'));
    const std::vector<tidyfold::test::ArchiveItem> manual{{"Manuals/printer.pdf", std::string(120000, 'm')},
                                                          {"Manuals/router.pdf", std::string(64000, 'o')}};
    tidyfold::test::WriteArchive(desktop + "/Manuals.zip", tidyfold::test::ArchiveFormat::Zip, manual);
    for (const auto& item : manual)
        WriteFile(desktop + "/" + item.path, item.data);
    tidyfold::test::MakeDirs(desktop + "/New Folder");
    WriteFile(desktop + "/untitled document.txt", "");
    WriteFile(desktop + "/Tidyfold.desktop", "[Desktop Entry]\nType=Application\n");
    // The program's own agreement text, as it lies beside the program.
    QFile::copy(QCoreApplication::applicationDirPath() + "/license.rtf",
                QString::fromStdString(sandbox.AppFolder() + "/license.rtf"));
}

// "Now" for the windows: eight days after the files were made, so that
// they are older than the time limit of 7 days (a file's status change
// time cannot be set back).
tidyfold::Clock WeekAhead()
{
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) + 8 * 86400;
    return [now] { return now; };
}

// Runs body once the modal dialog it waits for is up.
template <typename Body>
void WhenModal(Body body)
{
    QTimer::singleShot(300, [body] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            body(*dialog);
    });
}

// The window icon as the desktop draws it, at 16, 24, 32, 48 and 64 points
// in the screen's pixel density, side by side.
void SaveIcons()
{
    const qreal ratio = qApp->devicePixelRatio();
    const QList<int> sizes = {16, 24, 32, 48, 64};
    QPixmap strip(QSize(16 + 16 + 24 + 32 + 48 + 64 + 6 * 8, 64 + 16) * ratio);
    strip.setDevicePixelRatio(ratio);
    strip.fill(qApp->palette().color(QPalette::Window));
    QPainter painter(&strip);
    int x = 8;
    for (const int size : sizes) {
        painter.drawPixmap(x, 8, tidyfold::ui::AppIcon().pixmap(QSize(size, size), ratio));
        x += size + 8;
    }
    painter.end();
    const QString file = gOutput + "/icon.png";
    if (strip.save(file))
        std::printf("%s\n", qPrintable(file));
}

// A dark palette of the kind dark desktop themes give Qt programs.
void UseDarkPalette()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(128, 128, 128);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::Highlight, QColor(61, 122, 196));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(110, 170, 240));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, disabled);
    QApplication::setPalette(dark);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2 || (argc == 3 && QByteArray(argv[2]) != "--dark") || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [--dark]\n", argv[0]);
        return 2;
    }
    gOutput = QString::fromLocal8Bit(argv[1]);
    if (argc == 3)
        UseDarkPalette();
    QDir().mkpath(gOutput);
    QApplication::setQuitOnLastWindowClosed(false);

    const auto sandbox = tidyfold::test::WindowSandbox();
    PrepareDesktop(*sandbox);
    PhotographedBoxes boxes;
    tidyfold::ui::SetMessageBoxes(&boxes);
    tidyfold::ui::InstallQtYieldHook();

    {
        // What Clean Desktop would do on that Desktop, before it does it.
        tidyfold::cTidyfold engine;
        engine.SetClock(WeekAhead());
        const tidyfold::CleanPlan plan = engine.PlanClean();
        tidyfold::ui::frmPreview preview(plan);
        preview.show();
        (void)QTest::qWaitForWindowExposed(&preview);
        // One photo left unchecked: its folder stays, and the summary counts
        // what the checks mean.
        auto* table = preview.findChild<QTableView*>("tblPreview");
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, 0).data().toString().endsWith("IMG_0413.jpg"))
                table->model()->setData(table->model()->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
        Save(preview, "preview");
    }
    {
        tidyfold::ui::frmMain window;
        window.SetClock(WeekAhead());
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        Save(window, "main_before");
        window.findChild<QPushButton*>("cmdClean")->click();
        Save(window, "main_after");
        WhenModal([](QWidget& about) {
            Save(about, "about");
            about.close();
        });
        window.findChild<QAction*>("mnuHelpAbout")->trigger();
    }
    {
        // The pass just run and its Undo, newest first, with the actions of
        // the pass that was undone.
        const auto history = tidyfold::history::History::OpenDefault(WeekAhead());
        tidyfold::ui::frmHistory dialog(*history);
        dialog.show();
        (void)QTest::qWaitForWindowExposed(&dialog);
        Save(dialog, "history_before_undo");
        dialog.findChild<QPushButton*>("cmdUndoPass")->click();
        auto* actions = dialog.findChild<QTableView*>("tblActions");
        for (int row = 0; row < actions->model()->rowCount(); ++row)
            if (actions->model()->index(row, 1).data().toString() == "Manuals")
                actions->selectionModel()->setCurrentIndex(actions->model()->index(row, 0),
                                                           QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
        Save(dialog, "history");
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
        dialog.findChild<QTabWidget*>("tbsOptions")->setCurrentIndex(2);
        Save(dialog, "options_schedule");
        dialog.findChild<QTabWidget*>("tbsOptions")->setCurrentIndex(3);
        Save(dialog, "options_keep");
    }
    tidyfold::ui::SetMessageBoxes(nullptr);
    SaveIcons();
    return 0;
}
