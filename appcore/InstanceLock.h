#pragma once

#include <QString>
#include <memory>

class QFile;
class QLockFile;

// The locks that let one instance run per user and data folder.
struct InstanceLock {
    bool anotherRuns = false;               // a live instance holds a lock: this one must end
    std::unique_ptr<QLockFile> runtimeLock; // empty when the runtime folder holds none
    std::unique_ptr<QFile> dataLock;        // empty when the data folder holds none
};

// Takes the lock at runtimePath (a QLockFile, as desktop programs hold it in the runtime folder)
// and an exclusive flock on the file at dataPath, which every session that shares the data folder
// sees whatever its runtime folder. Either one held by a live instance means another runs. A lock
// whose owner is gone, or that is empty or unreadable, is taken at once; a place that cannot hold
// a lock (a folder, link, FIFO or socket in its way, a folder that cannot be written) is passed
// over, since starting unguarded beats never starting.
InstanceLock TakeInstanceLock(const QString& runtimePath, const QString& dataPath);
