#pragma once

// Helpers for the window tests: the test sandbox as they use it, a clock
// they set, and message boxes that answer themselves.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/Clock.h"
#include "settings/cOptions.h"
#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"  // WriteFile, ReadFile, Exists, MakeDirs
#include "ui/MessageBoxes.h"

namespace tidyfold::test {

// Every box the windows show, answered from a script instead of a person.
class ScriptedBoxes final : public ui::MessageBoxes {
public:
    struct Shown {
        QString text;
        QString title;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    ScriptedBoxes();   // puts itself in place of the real boxes
    ~ScriptedBoxes() override;  // and the real ones back

    QMessageBox::StandardButton Show(QWidget* parent, const QString& text, const QString& title,
                                     QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) override;

    QList<Shown> shown;
    // Answers in order; when none is left, OK where offered, else No.
    QList<QMessageBox::StandardButton> answers;
    // Runs while a box is "open", as a person could act meanwhile.
    std::function<void(const Shown&)> whileShown;
};

// The sandbox of the window tests: the common one, with the archive list
// "zip,rar,.7z,".
std::unique_ptr<Sandbox> WindowSandbox();

// What every window test has: a fresh window sandbox and boxes that answer
// themselves. A Qt Test class derives from it (after QObject) and calls
// Start() in init() and Stop() in cleanup().
class WindowFixture {
protected:
    void Start();
    // Also takes out what a test may have put in: a yield hook, an armed
    // fault, a scripted folder dialog.
    void Stop();

    std::unique_ptr<Sandbox> sandbox;
    std::unique_ptr<ScriptedBoxes> boxes;
};

// The window tests' settings: the sandbox's Options(mode) with a time limit
// of 0 days, so every file last used before "now" counts as old, and the
// unpacked-folder option as given.
cOptions WindowOptions(const Sandbox& sandbox, TransferMode mode, std::int16_t delUCFolders = 0);

// A fixed "now" a minute after the call: every file a test has made by then
// is older than a limit of 0 days, and none older than a day.
Clock MinuteAhead();

// What a screen reader would miss in window, one "who: what" line per
// fault; empty when there is none. Every control the window names (its
// object name; plain container widgets aside) needs a role of its own and a
// name, and so does every menu item and every other widget of the window
// that takes the keyboard focus. For any window, so that each new window's
// test can ask it.
QStringList AccessibilityProblems(QWidget& window);

// The widget named name inside window; a missing one ends the test run, since
// every later step would only fail more obscurely.
template <typename W>
W* Get(QWidget& window, const char* name)
{
    W* widget = window.findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr)
        qFatal("no widget %s", name);
    return widget;
}

}  // namespace tidyfold::test
