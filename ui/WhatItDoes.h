#pragma once

// What the main window tells before anything is pressed: what Clean Desktop
// will do with the saved settings, and what the last pass did.

#include <QString>
#include <string>

#include "settings/cOptions.h"

namespace tidyfold::history {
struct PassRecord;
}  // namespace tidyfold::history

namespace tidyfold::ui {

// path with the home folder written "~" ("~/Desktop"); as it is elsewhere.
QString HomeShortened(const std::string& path, const std::string& home);

// "Files in ~/Desktop unused for more than 7 days are moved to ~/Trash.",
// worded for each transfer mode, then what else Clean Desktop removes.
QString WhatCleanDesktopDoes(const cOptions& options, const std::string& desktop, const std::string& home);

// "Last pass: Clean Desktop (move), pass 12, on <when>: 27 done. Completed";
// for no pass at all, that none has run yet.
QString LastPassText(const history::PassRecord* pass);

}  // namespace tidyfold::ui
