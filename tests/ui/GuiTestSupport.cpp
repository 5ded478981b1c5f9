#include "GuiTestSupport.h"

#include "engine/Yield.h"
#include "fs/Fault.h"
#include "ui/BrowseForFolder.h"

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

std::unique_ptr<Sandbox> WindowSandbox()
{
    auto sandbox = std::make_unique<Sandbox>();
    sandbox->WriteArchiveList("zip,rar,.7z,");
    return sandbox;
}

void WindowFixture::Start()
{
    sandbox = WindowSandbox();
    boxes = std::make_unique<ScriptedBoxes>();
}

void WindowFixture::Stop()
{
    SetYieldHook({});
    fs::fault::Reset();
    SetFolderDialogForTesting({});
    boxes.reset();
    sandbox.reset();
}

cOptions WindowOptions(const Sandbox& sandbox, TransferMode mode, std::int16_t delUCFolders)
{
    cOptions options = sandbox.Options(mode);
    options.TimeLimit(0.0f);
    options.DelUCFolders(delUCFolders);
    return options;
}

Clock MinuteAhead()
{
    const std::int64_t now = SystemClock()() + 60;
    return [now] { return now; };
}

}  // namespace tidyfold::test
