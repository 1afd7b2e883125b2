#include "settings/AtomicFile.h"

#include <QSaveFile>

WriteResult WriteLineAtomically(const QString& path, const QString& value) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    const QByteArray line = value.toUtf8() + "\r\n";
    if (file.write(line) != line.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return {false, error};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {};
}
