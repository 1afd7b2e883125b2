#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

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
    // Matched by hand: a regular expression would load and compile PCRE at every start.
    const auto finalName = [](const QString& name) -> std::optional<QString> {
        constexpr qsizetype kRandom = 6;
        const qsizetype dot = name.size() - kRandom - 1;
        if (dot < 1 || name[dot] != QLatin1Char('.'))
            return std::nullopt;
        for (const QChar c : QStringView(name).mid(dot + 1)) {
            if (c.unicode() >= 128 || !c.isLetterOrNumber())
                return std::nullopt;
        }
        return name.left(dot);
    };
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        const std::optional<QString> written = finalName(name);
        if (written && writtenHere(*written))
            QFile::remove(dir.filePath(name));
    }
}
