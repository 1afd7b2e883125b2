#include "schedule/ScheduleEntries.h"

#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString pathIn(const QString& dataDir, const QString& fileName) {
    return dataDir + QLatin1Char('/') + fileName;
}

bool isOrdinaryFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

// Deletes the file when present; returns an error message when it stays.
QString removeIfPresent(const QString& path) {
    if (!isOrdinaryFile(path))
        return {};
    QFile file(path);
    if (file.remove())
        return {};
    return QStringLiteral("Could not delete \"%1\": %2").arg(path, file.errorString());
}

Result<> writeOneLine(const QString& path) {
    if (const Result<> written = WriteLineAtomically(path, QStringLiteral("1")); !written)
        return Failure{QStringLiteral("Could not write \"%1\": %2").arg(path, written.error())};
    return {};
}

} // namespace

QSet<QString> OrdinaryFiles(const QString& dataDir) {
    if (dataDir.isEmpty())
        return {};
    // Sorting would cost more than all the look-ups together.
    const QStringList names = QDir(dataDir).entryList(QDir::Files, QDir::Unsorted);
    return {names.cbegin(), names.cend()};
}

QStringList RefreshEntries(const QString& dataDir) {
    // An unset folder would otherwise mean the current directory.
    if (dataDir.isEmpty())
        return {};
    const QSet<QString> files = OrdinaryFiles(dataDir);
    QStringList rows;
    for (const ProbedTime& time : ProbingOrder()) {
        // A marker that cannot be deleted is harmless: nothing decides anything by it.
        if (files.contains(time.markerFile))
            QFile::remove(pathIn(dataDir, time.markerFile));
        if (files.contains(time.entryFile))
            rows.append(time.row);
    }
    return rows;
}

Result<> AddEntry(const QString& dataDir, const ScheduleTime& time) {
    if (dataDir.isEmpty())
        return Failure{QStringLiteral("The data folder is not known, so the time was not added.")};
    const QString key = time.key();
    if (Result<> entry = writeOneLine(pathIn(dataDir, EntryFileName(key))); !entry)
        return entry;
    return writeOneLine(pathIn(dataDir, MarkerFileName(key)));
}

Result<> RemoveEntries(const QString& dataDir, const QStringList& rows) {
    if (dataDir.isEmpty())
        return {};
    QStringList errors;
    for (const QString& row : rows) {
        const QString key = TimeKey(row);
        for (const QString& name : {EntryFileName(key), MarkerFileName(key)}) {
            if (const QString error = removeIfPresent(pathIn(dataDir, name)); !error.isEmpty())
                errors.append(error);
        }
    }
    if (!errors.isEmpty())
        return Failure{errors.join(QLatin1Char('\n'))};
    return {};
}
