#include "core/AtomicFile.h"

#include <QFile>
#include <QSaveFile>

namespace {

bool alreadyHolds(const QString& path, const QByteArray& line) {
    QFile stored(path);
    return stored.open(QIODevice::ReadOnly) && stored.size() == line.size() &&
           stored.readAll() == line;
}

} // namespace

Result<> WriteLineAtomically(const QString& path, const QString& value) {
    const QByteArray line = value.toUtf8() + "\r\n";
    // Each replacement is synced to disk, which costs milliseconds; start-up and the handlers
    // often store exactly what the file already holds.
    if (alreadyHolds(path, line))
        return {};
    // Unbuffered: a buffered QSaveFile loses a short write (a full disk) in its final flush and
    // commits the cut-off file. Written directly, a short write shows, and writing the rest again
    // brings out the system's reason.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure{file.errorString()};
    for (qsizetype done = 0; done < line.size();) {
        const qint64 written = file.write(line.constData() + done, line.size() - done);
        if (written <= 0) {
            const QString error = file.errorString();
            file.cancelWriting();
            return Failure{error};
        }
        done += written;
    }
    if (!file.commit())
        return Failure{file.errorString()};
    return {};
}
