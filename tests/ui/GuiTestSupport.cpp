#include "GuiTestSupport.h"

#include "fs/FileSystem.h"

namespace tidyfold::test {

ScriptedBoxes::ScriptedBoxes() { ui::SetMessageBoxes(this); }

ScriptedBoxes::~ScriptedBoxes() { ui::SetMessageBoxes(nullptr); }

QMessageBox::StandardButton ScriptedBoxes::Show(QWidget* /*parent*/, const QString& text, const QString& title,
                                                QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    shown.append({text, title, icon, buttons});
    if (whileShown)
        whileShown(shown.last());
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
}

GuiSandbox::GuiSandbox() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME"))
{
    MakeDirs(Desktop());
    MakeDirs(App());
    MakeDirs(Root() + "/config");
    qputenv("HOME", QByteArray::fromStdString(Root() + "/home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(Root() + "/config"));
    WriteFile(App() + "/compressed.lst", "zip,rar,.7z,");
    fs::SetApplicationFolderForTesting(App());
}

GuiSandbox::~GuiSandbox()
{
    // Qt cannot remove names that are not UTF-8; the tests' own helper can.
    RemoveTree(Root() + "/home");
    fs::SetApplicationFolderForTesting({});
    qputenv("HOME", oldHome_);
    qputenv("XDG_CONFIG_HOME", oldConfig_);
}

std::string GuiSandbox::Root() const { return dir_.path().toStdString(); }

void GuiSandbox::WriteSettings(int copyAction, int delUCFolders, const std::string& timeLimit,
                               const std::string& trash) const
{
    WriteFile(SettingsFile(), "[TYFL]\nTimelimit=" + timeLimit + "\nCopyAction=" + std::to_string(copyAction) +
                                  "\nTrashPath=" + (trash.empty() ? Trash() : trash) +
                                  "\nDelUCFolders=" + std::to_string(delUCFolders) + "\nDelNullFiles=0\n");
}

}  // namespace tidyfold::test
