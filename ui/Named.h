#pragma once

#include <QString>

namespace tidyfold::ui {

// Gives a widget or action its object name: tests and the screenshot tool
// find every control by the name the design gives it.
template <typename W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace tidyfold::ui
