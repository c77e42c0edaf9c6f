#pragma once

#include <QLockFile>

#include <memory>

// One window per user: the first start holds a lock file in the user's runtime folder for its
// whole life; a lock left by a process that no longer runs counts as free.
class SingleInstance {
public:
    // Empty folder: the runtime folder of the desktop session.
    explicit SingleInstance(const QString& pFolder = {});
    // True when this process is now the only instance.
    [[nodiscard]] bool TryLock();

private:
    std::unique_ptr<QLockFile> c_Lock;
};
