#include "schedule/ScheduleEntries.h"

#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

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
    // The folder's names are read for times, rather than all 1440 times looked up.
    std::vector<int> entries;
    for (const QString& name : OrdinaryFiles(dataDir)) {
        const std::optional<ScheduleFile> file = ParseScheduleFileName(name);
        if (!file)
            continue;
        // A marker that cannot be deleted is harmless: nothing decides anything by it.
        if (file->marker)
            QFile::remove(pathIn(dataDir, name));
        else
            entries.push_back(file->order);
    }
    std::sort(entries.begin(), entries.end());
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    for (const int order : entries)
        rows.append(RowAt(order));
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
