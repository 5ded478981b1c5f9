#include "ui/frmAbout.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTextEdit>
#include <QVBoxLayout>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "history/History.h"
#include "settings/cOptions.h"
#include "shell/AppFiles.h"
#include "ui/Named.h"
#include "ui/Text.h"
#include "ui/rtf/RtfReader.h"

namespace tidyfold::ui {

QString VersionText()
{
    return QStringLiteral("v%1.%2.%3").arg(TIDYFOLD_VERSION_MAJOR).arg(TIDYFOLD_VERSION_MINOR).arg(TIDYFOLD_VERSION_PATCH);
}

QString LicenseHtml()
{
    std::string rtf;
    try {
        rtf = fs::ReadWholeFile(LocateAppFile(AppFile::License).path);
    } catch (const Error&) {
        rtf.clear();
    }
    return rtf.empty() ? QString() : QString::fromStdString(RtfToHtml(rtf));
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Tidyfold"));
    lblAboutVersion = Named(new QLabel(tr("Tidyfold %1: keeps the Desktop folder clean.").arg(VersionText())),
                            "lblAboutVersion");
    rtfAboutLicense = Named(new QTextEdit, "rtfAboutLicense");
    rtfAboutLicense->setReadOnly(true);
    rtfAboutLicense->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rtfAboutLicense->setAccessibleName(tr("License agreement"));
    rtfAboutLicense->setHtml(LicenseHtml());

    // Where each file is now, as the program would look for it.
    std::string history = history::History::DefaultPath();
    const QStringList files{
        tr("Where Tidyfold keeps its files:"),
        tr("Settings and the list of files to keep: %1").arg(PathText(cOptions::SettingsFilePath())),
        tr("Archive extensions: %1").arg(PathText(LocateAppFile(AppFile::ArchiveList).path)),
        tr("History of passes: %1").arg(history.empty() ? tr("none, since no home folder is known")
                                                        : PathText(history)),
        tr("The licence text: %1").arg(PathText(LocateAppFile(AppFile::License).path)),
    };
    lblAboutFiles = Named(new QLabel(files.join(QLatin1Char('\n'))), "lblAboutFiles");
    lblAboutFiles->setTextFormat(Qt::PlainText);
    lblAboutFiles->setWordWrap(true);
    lblAboutFiles->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* buttons = new QDialogButtonBox;
    cmdAboutClose = Named(buttons->addButton(QDialogButtonBox::Close), "cmdAboutClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblAboutVersion);
    layout->addWidget(rtfAboutLicense, 1);
    layout->addWidget(lblAboutFiles);
    layout->addWidget(buttons);
    resize(600, 520);
}

}  // namespace tidyfold::ui
