#include "ui/MessageBoxes.h"

namespace tidyfold::ui {

namespace {

class QtMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton Show(QWidget* parent, const QString& text, const QString& title,
                                     QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) override
    {
        // A carriage return would show as a stray glyph in a Qt label.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox box(icon, title, shown, buttons, parent);
        box.setTextFormat(Qt::PlainText);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
};

QtMessageBoxes gRealBoxes;
MessageBoxes* gBoxes = &gRealBoxes;

}  // namespace

MessageBoxes& Boxes() { return *gBoxes; }

void SetMessageBoxes(MessageBoxes* boxes) { gBoxes = boxes != nullptr ? boxes : &gRealBoxes; }

}  // namespace tidyfold::ui
