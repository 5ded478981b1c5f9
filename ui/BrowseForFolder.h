#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace tidyfold {

// Browse flag: only folders of the file system can be chosen.
inline constexpr std::int32_t BIF_RETURNONLYFSDIRS = 1;
// Root of the browse tree: the computer's drives, "/" here.
inline constexpr std::int32_t CSIDL_DRIVES = 17;

// Asks the user for a folder in a modal dialog owned by owner, titled title.
// Returns the chosen path, or empty text when the user cancels. Whatever the
// flags and root, only folders can be chosen, and every folder from "/" down
// can be reached; the dialog opens at start ("/" when empty).
QString BrowseForFolder(QWidget* owner, const QString& title, std::int32_t flags, std::int32_t root,
                        const QString& start = {});

// The dialog itself, replaceable so tests can answer it: gets the owner, the
// title and the folder to start in; returns the choice or empty text.
using FolderDialog = std::function<QString(QWidget* owner, const QString& title, const QString& start)>;
// An empty function puts the real dialog back.
void SetFolderDialogForTesting(FolderDialog dialog);

}  // namespace tidyfold
