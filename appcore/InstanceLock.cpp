#include "appcore/InstanceLock.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

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

Attempt takeRuntimeLock(QLockFile& lock, const QString& path) {
    if (!canHoldLock(path))
        return Attempt::Unusable;
    if (lock.tryLock(0))
        return Attempt::Taken;
    if (lock.error() != QLockFile::LockFailedError)
        return Attempt::Unusable;
    // A lock that names no owner (its writer died before it wrote one) would count as live
    // until it ages out; no live instance leaves one, so it goes at once.
    qint64 pid = 0;
    QString host, application;
    if (!lock.getLockInfo(&pid, &host, &application) && lock.removeStaleLockFile() &&
        lock.tryLock(0))
        return Attempt::Taken;
    return Attempt::HeldByLiveInstance;
}

// The kernel drops an flock with its holder, so no lock of a crashed instance ever blocks.
Attempt takeDataLock(const QString& path, std::unique_ptr<QFile>& held) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return Attempt::Unusable;
    auto file = std::make_unique<QFile>();
    file->open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Attempt::Unusable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Attempt::HeldByLiveInstance : Attempt::Unusable;
    held = std::move(file);
    return Attempt::Taken;
}

} // namespace

InstanceLock TakeInstanceLock(const QString& runtimePath, const QString& dataPath) {
    InstanceLock lock;
    if (takeDataLock(dataPath, lock.dataLock) == Attempt::HeldByLiveInstance) {
        lock.anotherRuns = true;
        return lock;
    }
    auto runtimeLock = std::make_unique<QLockFile>(runtimePath);
    switch (takeRuntimeLock(*runtimeLock, runtimePath)) {
    case Attempt::HeldByLiveInstance:
        lock.anotherRuns = true;
        break;
    case Attempt::Taken:
        lock.runtimeLock = std::move(runtimeLock);
        break;
    case Attempt::Unusable:
        break;
    }
    return lock;
}
