#include "appcore/InstanceLock.h"

#include <QFileInfo>
#include <QLockFile>

namespace {

enum class Attempt { Taken, HeldByLiveInstance, Unusable };

// QLockFile reads the lock it finds to learn whether its owner lives: a FIFO there blocks that
// read for good, and a folder or a dangling link would count as a live owner for ever.
bool canHoldLock(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo entry(path);
    return !entry.isSymLink() && (!entry.exists() || entry.isFile());
}

Attempt tryTake(QLockFile& lock, const QString& path) {
    if (!canHoldLock(path))
        return Attempt::Unusable;
    if (lock.tryLock(0))
        return Attempt::Taken;
    return lock.error() == QLockFile::LockFailedError ? Attempt::HeldByLiveInstance
                                                      : Attempt::Unusable;
}

} // namespace

InstanceLock TakeInstanceLock(const QString& firstPath, const QString& secondPath) {
    auto first = std::make_unique<QLockFile>(firstPath);
    auto second = std::make_unique<QLockFile>(secondPath);
    switch (tryTake(*first, firstPath)) {
    case Attempt::HeldByLiveInstance:
        return {true, nullptr};
    case Attempt::Taken:
        // Only a lock already lying at the second place is looked at, so that a working first
        // place leaves no file in the data folder.
        if (QFileInfo(secondPath).isFile() &&
            tryTake(*second, secondPath) == Attempt::HeldByLiveInstance)
            return {true, nullptr};
        second->unlock();
        return {false, std::move(first)};
    case Attempt::Unusable:
        break;
    }
    switch (tryTake(*second, secondPath)) {
    case Attempt::HeldByLiveInstance:
        return {true, nullptr};
    case Attempt::Taken:
        return {false, std::move(second)};
    case Attempt::Unusable:
        break;
    }
    // Nowhere to hold a lock: starting unguarded beats never starting.
    return {false, nullptr};
}
