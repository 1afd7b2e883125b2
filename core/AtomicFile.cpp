#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool alreadyHolds(const QString& path, const QByteArray& line) {
    // A FIFO opened for reading waits for a writer for good; only a regular file can hold the line.
    if (!QFileInfo(path).isFile())
        return false;
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
    // QSaveFile writes through a link to wherever it points; a link to no regular file holds no
    // value, so the new file takes the link's place instead.
    if (const QFileInfo entry(path); entry.isSymLink() && !entry.isFile())
        QFile::remove(path);
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

void RemoveLeftoverTemporaryFiles(const QString& folder,
                                  const std::function<bool(const QString&)>& writtenHere) {
    if (folder.isEmpty())
        return;
    // Where the file system has no unnamed temporary files, QSaveFile names its own after the
    // final file and six random letters or digits, and a crash leaves it behind.
    static const QRegularExpression temporary(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        const QRegularExpressionMatch match = temporary.match(name);
        if (match.hasMatch() && writtenHere(match.captured(1)))
            QFile::remove(dir.filePath(name));
    }
}
