#include "app/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace DesktopNotice {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

Poster& Hook() {
    static Poster poster;
    return poster;
}

bool ServiceThere(const QDBusConnection& pBus) {
    const QDBusConnectionInterface* bus = pBus.interface();
    if (bus == nullptr) return false;
    if (const QDBusReply<bool> running = bus->isServiceRegistered(kService);
        running.isValid() && running.value())
        return true;
    // A service the bus starts on the first call counts as there.
    const QDBusReply<QStringList> startable = bus->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kService);
}

} // namespace

Poster SetPoster(Poster pPoster) {
    return std::exchange(Hook(), std::move(pPoster));
}

void Post(const QString& pSummary, const QString& pBody) {
    if (Hook()) {
        Hook()(pSummary, pBody);
        return;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !ServiceThere(bus)) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/Notifications"), kService, QStringLiteral("Notify"));
    call << QStringLiteral("Tolvane") << 0U << QStringLiteral("tolvane") << pSummary << pBody << QStringList()
         << QVariantMap() << -1;
    // Waited for briefly: the window closes right after, and a call still in flight would be lost.
    (void)bus.call(call, QDBus::Block, 2000);
}

} // namespace DesktopNotice
