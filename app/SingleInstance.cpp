#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& pFolder) {
    QString folder = pFolder;
    if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    c_Lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("tolvane.lock")));
    // A running instance may hold the lock for days; only a dead owner makes it stale.
    c_Lock->setStaleLockTime(0);
}

bool SingleInstance::TryLock() {
    return c_Lock->tryLock(0);
}
