#pragma once

// Whether a window can open where the program was started. Asked before any
// Qt application object exists: Qt's platform ends the program with an abort
// (and lines of its own) when it finds no display.

namespace tidyfold::app {

// argv as main got it: Qt's own "-platform" and "-display" are read from it,
// as Qt reads them. False when every platform Qt would try needs a display
// server and none answers: no DISPLAY, a DISPLAY whose X server does not
// answer (libxcb connects as Qt's X platform does), no Wayland socket to
// connect to. A platform that needs no server (offscreen, minimal, a frame
// buffer) is left to Qt.
bool WindowCanOpen(int argc, char** argv);

// What a start that cannot open its window says on standard error.
inline constexpr const char* kNoDisplayText =
    "tidyfold: no display to open a window on; run it from a desktop session, "
    "or give an operation such as --clean (see --help)";

}  // namespace tidyfold::app
