#pragma once

#include <QString>

#include <functional>

// One desktop notification through the notification service on the session bus
// (org.freedesktop.Notifications). Without a bus or a service nothing happens and nothing is said.
namespace DesktopNotice {

void Post(const QString& pSummary, const QString& pBody);

// Tests take the notification instead of the bus; an empty function goes back to the bus.
// Returns the previous one.
using Poster = std::function<void(const QString& pSummary, const QString& pBody)>;
Poster SetPoster(Poster pPoster);

} // namespace DesktopNotice
