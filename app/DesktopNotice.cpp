#include "app/DesktopNotice.h"

#include <QDBusConnection>
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

} // namespace

Poster SetPoster(Poster pPoster) {
    return std::exchange(Hook(), std::move(pPoster));
}

void Post(const QString& pSummary, const QString& pBody) {
    if (Hook()) {
        Hook()(pSummary, pBody);
        return;
    }
    // Asked straight away: without the service the bus answers at once with an error, which is
    // left unsaid; a service the bus starts on the first call is started by this one.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/org/freedesktop/Notifications"), kService, QStringLiteral("Notify"));
    call << QStringLiteral("Tolvane") << 0U << QStringLiteral("tolvane") << pSummary << pBody << QStringList()
         << QVariantMap() << -1;
    // Waited for briefly: the window closes right after, and a call still in flight would be lost.
    (void)bus.call(call, QDBus::Block, 2000);
}

} // namespace DesktopNotice
