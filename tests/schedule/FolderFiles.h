#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

// Sets up and reads back a data folder. A name ending in "/" stands for a folder.
namespace FolderFiles {

inline void make(const QString& dir, const QStringList& names,
                 const QByteArray& content = QByteArrayLiteral("1\r\n")) {
    for (const QString& name : names) {
        if (name.endsWith(QLatin1Char('/'))) {
            QDir(dir).mkpath(name);
            continue;
        }
        QFile file(dir + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot create a test file");
    }
}

// Every entry of the folder, sorted, folders with a trailing "/".
inline QStringList list(const QString& dir) {
    QStringList names;
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        names.append(entry.fileName() + (entry.isDir() ? QStringLiteral("/") : QString()));
    return names;
}

// The entry files and markers of the folder, sorted.
inline QStringList schedule(const QString& dir) {
    QStringList names = list(dir);
    names.removeIf([](const QString& name) {
        return !name.endsWith(QLatin1String(".tim")) && !name.endsWith(QLatin1String(".spk"));
    });
    return names;
}

inline QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace FolderFiles
