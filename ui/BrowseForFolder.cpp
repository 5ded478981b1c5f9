#include "ui/BrowseForFolder.h"

#include <QFileDialog>
#include <utility>

namespace tidyfold {

namespace {

QString RealFolderDialog(QWidget* owner, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}

FolderDialog& Dialog()
{
    static FolderDialog dialog = RealFolderDialog;
    return dialog;
}

}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& title, std::int32_t /*flags*/, std::int32_t /*root*/,
                        const QString& start)
{
    // The file dialog offers nothing but file-system folders anyway, and every
    // root of the classic shell (the drives, the desktop) means "/" here: the
    // dialog's own path bar and sidebar reach it from wherever it opens.
    return Dialog()(owner, title, start.isEmpty() ? QStringLiteral("/") : start);
}

void SetFolderDialogForTesting(FolderDialog dialog)
{
    Dialog() = dialog ? std::move(dialog) : FolderDialog(RealFolderDialog);
}

}  // namespace tidyfold
