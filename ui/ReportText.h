#pragma once

// Every telling of a pass, worded from its one account (PassReport.h): the
// result box and the command line's lines, the log, the notification of an
// automatic run, and the History's labels. Worded here and nowhere else, so
// that they all tell the same story.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/PassReport.h"

namespace tidyfold::ui {

// A transfer mode as the History and the main window name it: "move", "send
// to the Trash"; a number no mode has "leave in place".
QString ModeName(std::optional<int> mode);

// What a pass was: "Clean Desktop (move)", "Undo of pass 12".
QString OperationTitle(Operation operation, std::optional<int> mode, std::int64_t undoes);

// How a pass ended, in a word or a line: "Completed", "Stopped: 841 of 4022
// files processed.", "Failed: <error>". collected and processed are a
// Desktop clean's files, when known.
QString EndingText(Ending ending, std::optional<std::int32_t> collected, std::optional<std::int32_t> processed,
                   const QString& error);

// The result box's lines, which the command line prints too: the lines a
// Desktop clean has always shown, then what else it did and what went wrong.
// logHint ends the lines that point to the details ("; see File > Show Log."
// in the window, "." on the command line).
QStringList ResultLines(const PassReport& report, const QString& logHint);

// One line per entry that failed, in the system's words.
QStringList FailureLines(const PassReport& report);

// The log of a pass: every change, every removal, every file left alone and
// why, every failure, what the pass noticed, and the error that ended it.
QStringList LogLines(const PassReport& report);

// An automatic run's notification, or nothing when it has nothing to tell.
struct Notice {
    QString summary;
    QString body;
};
std::optional<Notice> NotificationOf(const std::vector<PassReport>& reports);

}  // namespace tidyfold::ui
