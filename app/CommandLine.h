#pragma once

// What the program was asked on its command line. Parsed before any
// application object exists, so that a run without a window never needs a
// display.

#include <QString>
#include <QStringList>

namespace tidyfold::app {

struct Request {
    bool help = false;
    bool version = false;
    bool clean = false;          // --clean: a Clean Desktop pass
    bool cleanUnpacked = false;  // --clean-unpacked: Clean Uncompressed Folders
    bool removeEmpty = false;    // --remove-empty: Remove Empty Folders
    bool quiet = false;          // only errors; the run counts as an automatic one
    bool dryRun = false;         // print what the operations would do, change nothing
    QString error;               // what is wrong with the arguments, if anything
    bool unknownOnly = false;    // the only fault: options unknown to us (perhaps Qt's own)

    // Asked for anything that runs without the window.
    bool Headless() const { return help || version || clean || cleanUnpacked || removeEmpty || quiet || dryRun; }
    bool AnyOperation() const { return clean || cleanUnpacked || removeEmpty; }
};

// arguments as the program got them, the program's name first.
Request ParseCommandLine(const QStringList& arguments);

// The usage text of --help.
QString HelpText();
// "tidyfold <major>.<minor>.<revision>".
QString VersionText();

}  // namespace tidyfold::app
