#pragma once

// Helpers for the window tests: a throw-away home, Desktop and application
// folder, and message boxes that answer themselves.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <string>

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

// A home folder with a Desktop, an application folder with a settings file
// and an offload folder, all under one temporary folder. HOME and
// XDG_CONFIG_HOME point into it while the object lives.
class GuiSandbox {
public:
    GuiSandbox();
    ~GuiSandbox();

    std::string Root() const;
    std::string Desktop() const { return Root() + "/home/Desktop"; }
    std::string App() const { return Root() + "/app"; }
    std::string Trash() const { return Root() + "/trash"; }
    std::string SettingsFile() const { return App() + "/settings.ini"; }

    // Writes the five settings (TimeLimit 0, so every file older than a
    // second counts as old).
    void WriteSettings(int copyAction = 0, int delUCFolders = 0, const std::string& timeLimit = "0",
                       const std::string& trash = {}) const;

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
};

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
