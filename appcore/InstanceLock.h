#pragma once

#include <QString>
#include <memory>

class QLockFile;

// The lock that lets one instance run per user.
struct InstanceLock {
    bool anotherRuns = false;        // a live instance holds the lock: this one must end
    std::unique_ptr<QLockFile> held; // empty when no lock could be taken anywhere
};

// Takes the lock at firstPath, or at secondPath when the first place cannot hold a lock (an empty
// path, a folder, link, FIFO or socket in its place, a folder that cannot be written). A lock at
// the second place held by a live instance counts either way, so two instances never run at once
// even when the first place is cleared while one runs.
InstanceLock TakeInstanceLock(const QString& firstPath, const QString& secondPath);
