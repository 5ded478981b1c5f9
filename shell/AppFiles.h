#pragma once

// Where Tidyfold's own files are.
//
// Installed (the program's folder has the data folder "../share/tidyfold"
// beside it, as in /usr/bin and /usr/share/tidyfold), the settings and the
// user's own archive list live in $XDG_CONFIG_HOME/tidyfold (by default
// ~/.config/tidyfold), and the read-only data (the default archive list, the
// licence text) in the data folder. Run from anywhere else (a build folder,
// a copied folder), every file lies beside the program.
//
// The rule looks at the data folder, never at whether the program's folder
// can be written: root running an installed program must not write into
// /usr/bin either.

#include <string>

namespace tidyfold {

enum class AppFile {
    Settings,     // settings.ini, read and written
    ArchiveList,  // compressed.lst, read
    License,      // license.rtf, read
};

// What may be made when the file is missing.
enum class WhenMissing {
    Nothing,       // read-only data, or a file whose folder is there already
    CreateEmpty,   // the archive list beside a portable program, as it always was
    CreateFolder,  // the settings of an installed program: their folder (mode 0700) is made before a save
};

struct AppFileLocation {
    std::string path;
    WhenMissing whenMissing = WhenMissing::Nothing;
};

// Where file is, decided afresh at each call from the program's folder and
// the environment (HOME, XDG_CONFIG_HOME). Installed, the archive list is the
// user's own when there is one, else the installed default.
AppFileLocation LocateAppFile(AppFile file);

}  // namespace tidyfold
