#pragma once

#include <QMessageBox>
#include <QString>

namespace tidyfold::ui {

// Every message box of the windows goes through here, so tests can answer
// them without a person at the screen.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the button pressed. Lines of text are
    // separated by "\r\n", as the program composes them.
    virtual QMessageBox::StandardButton Show(QWidget* parent, const QString& text, const QString& title,
                                             QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) = 0;
};

// The boxes in use: real QMessageBoxes unless a test put others in place.
MessageBoxes& Boxes();
// nullptr puts the real boxes back. The caller keeps ownership.
void SetMessageBoxes(MessageBoxes* boxes);

}  // namespace tidyfold::ui
