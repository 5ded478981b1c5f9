#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTextEdit;

namespace tidyfold::ui {

// "v1.0.12": the program's version as the main window's banner shows it.
QString VersionText();
// The agreement text (license.rtf) as rich text; empty when it cannot be
// read, since nothing depends on it.
QString LicenseHtml();

// Help > About: the version, the licence, and where Tidyfold keeps the
// settings, the lists and the history.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

private:
    QLabel* lblAboutVersion = nullptr;
    QTextEdit* rtfAboutLicense = nullptr;
    QLabel* lblAboutFiles = nullptr;
    QPushButton* cmdAboutClose = nullptr;
};

}  // namespace tidyfold::ui
