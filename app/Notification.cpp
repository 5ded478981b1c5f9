#include "app/Notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace tidyfold::app {

namespace {
constexpr int kTimeoutMs = 5000;
}  // namespace

void Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop groups the notification under the launcher of that name.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.tidyfold.Tidyfold")}};
    call << QStringLiteral("Tidyfold") << 0u << QStringLiteral("org.tidyfold.Tidyfold") << summary << body << QStringList()
         << hints << -1;
    // The answer (or the error of no service) is of no further use.
    bus.call(call, QDBus::Block, kTimeoutMs);
}

}  // namespace tidyfold::app
