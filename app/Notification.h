#pragma once

#include <QString>

namespace tidyfold::app {

// A desktop notification (org.freedesktop.Notifications on the session bus).
// No bus, or no notification service answering within a few seconds, means
// no notification: never an error.
void Notify(const QString& summary, const QString& body);

}  // namespace tidyfold::app
