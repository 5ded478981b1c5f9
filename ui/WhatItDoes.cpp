#include "ui/WhatItDoes.h"

#include <QCoreApplication>
#include <QLocale>

#include "history/Records.h"
#include "settings/NumberText.h"
#include "ui/HistoryModels.h"
#include "ui/Text.h"

namespace tidyfold::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

QString DaysText(float days)
{
    QString number = QString::fromStdString(SingleToText(days));
    number.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return days == 1.0f ? Tr("1 day") : Tr("%1 days").arg(number);
}

// The first sentence: which files, and where they go.
QString WhereFilesGo(TransferMode mode, const QString& desktop, const QString& days, const QString& offload)
{
    switch (mode) {
        case TransferMode::CopyThenDelete:
            return Tr("Files in %1 unused for more than %2 are copied to %3, then deleted from the Desktop.")
                .arg(desktop, days, offload);
        case TransferMode::Move:
            return Tr("Files in %1 unused for more than %2 are moved to %3.").arg(desktop, days, offload);
        case TransferMode::Delete:
            return Tr("Files in %1 unused for more than %2 are deleted.").arg(desktop, days);
        case TransferMode::Trash:
            return Tr("Files in %1 unused for more than %2 are sent to the Trash.").arg(desktop, days);
    }
    return Tr("Files in %1 stay where they are: the settings name no mode Tidyfold knows.").arg(desktop);
}

}  // namespace

QString HomeShortened(const std::string& path, const std::string& home)
{
    if (!home.empty() && home != "/" && path.compare(0, home.size(), home) == 0 &&
        (path.size() == home.size() || path[home.size()] == '/'))
        return QStringLiteral("~") + PathText(path.substr(home.size()));
    return PathText(path);
}

QString WhatCleanDesktopDoes(const cOptions& options, const std::string& desktop, const std::string& home)
{
    QString text = WhereFilesGo(options.CopyAction(), HomeShortened(desktop, home), DaysText(options.TimeLimit()),
                                HomeShortened(options.OffloadPath(), home));
    // The removals a Desktop clean makes besides, as the settings have them;
    // empty folders go after every pass that took files away.
    const bool unpacked = options.DelUCFolders() == 1;
    const bool empty = options.DelNullFiles() == 1;
    if (unpacked && empty)
        text += QLatin1Char(' ') + Tr("Folders unpacked beside their archives, old empty files and the folders "
                                      "left empty go too.");
    else if (unpacked)
        text += QLatin1Char(' ') + Tr("Folders unpacked beside their archives and the folders left empty go too.");
    else if (empty)
        text += QLatin1Char(' ') + Tr("Old empty files and the folders left empty go too.");
    else
        text += QLatin1Char(' ') + Tr("The folders left empty go too.");
    return text;
}

QString LastPassText(const history::PassRecord* pass)
{
    if (pass == nullptr)
        return Tr("No pass has run yet.");
    return Tr("Last pass: %1, pass %2, %3: %4. %5")
        .arg(PassWhat(*pass), QString::number(pass->id), PassWhen(*pass), PassCounts(*pass), PassEnded(*pass));
}

}  // namespace tidyfold::ui
