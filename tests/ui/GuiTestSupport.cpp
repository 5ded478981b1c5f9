#include "GuiTestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>

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

namespace {

QString Who(QAccessibleInterface* iface)
{
    QObject* object = iface->object();
    const QString name = object != nullptr ? object->objectName() : QString();
    return name.isEmpty() ? QStringLiteral("an unnamed %1").arg(object ? object->metaObject()->className() : "item")
                          : name;
}

// A page or a tab widget is read through what it holds (a tab widget
// hands its focus to its tab bar).
bool IsContainer(QAccessibleInterface* iface)
{
    return iface->role() == QAccessible::Client && iface->childCount() > 0;
}

void CheckNamed(QAccessibleInterface* iface, const QString& who, QStringList& problems)
{
    if (iface == nullptr) {
        problems << who + ": no accessible interface";
        return;
    }
    // Client is what Qt gives a widget it knows nothing about.
    if (iface->role() == QAccessible::NoRole || iface->role() == QAccessible::Client)
        problems << who + ": no role of its own";
    if (iface->text(QAccessible::Name).trimmed().isEmpty())
        problems << who + ": no accessible name";
}

// Every widget below iface that takes the keyboard focus.
void CheckFocusable(QAccessibleInterface* iface, QStringList& problems)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child == nullptr)
            continue;
        const QAccessible::State state = child->state();
        if (state.focusable && !state.invisible && !IsContainer(child) &&
            child->text(QAccessible::Name).trimmed().isEmpty())
            problems << Who(child) + ": takes the focus but has no accessible name";
        CheckFocusable(child, problems);
    }
}

}  // namespace

QStringList AccessibilityProblems(QWidget& window)
{
    QStringList problems;
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    for (QWidget* widget : widgets) {
        // The window's own controls; Qt names its inner parts "qt_...".
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
        if (iface == nullptr || !IsContainer(iface))
            CheckNamed(iface, name, problems);
    }
    for (QMenu* menu : window.findChildren<QMenu*>()) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; iface != nullptr && i < iface->childCount(); ++i) {
            QAccessibleInterface* item = iface->child(i);
            if (item != nullptr && item->role() != QAccessible::Separator)
                CheckNamed(item, menu->objectName() + "/" + Who(item), problems);
        }
    }
    if (QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window))
        CheckFocusable(root, problems);
    return problems;
}

}  // namespace tidyfold::test
