#include "report/EspeakVoices.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

struct VoiceFile {
    QByteArray identifier; // the path below "voices" or "lang"
    QByteArray name;
    QByteArray language; // the first language line's tag
    int priority = 0;    // and its priority
};

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// One voice file's name and first language, read line by line as espeak-ng reads it: a '#'
// line is empty, "//" starts a comment, the keyword ends at the first blank.
std::optional<VoiceFile> readVoiceFile(const QString& path, const QByteArray& identifier) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    VoiceFile voice{identifier, {}, {}, 0};
    bool hasLanguage = false;
    while (!file.atEnd()) {
        QByteArray line = file.readLine(4096);
        if (line.startsWith('#'))
            continue;
        // Blanks go from the end before the comment does, so a name followed by a comment
        // keeps the blank before it (espeak-ng lists "Cherokee " so).
        while (!line.isEmpty() && isBlank(line.back()))
            line.chop(1);
        if (const qsizetype comment = line.indexOf("//"); comment >= 0)
            line.truncate(comment);
        qsizetype blank = 0;
        while (blank < line.size() && !isBlank(line[blank]))
            ++blank;
        const QByteArray keyword = line.left(blank);
        qsizetype value = blank;
        while (value < line.size() && isBlank(line[value]))
            ++value;
        const QByteArray rest = line.mid(value);
        if (keyword == "name") {
            voice.name = rest.left(79);
        } else if (keyword == "language" && !hasLanguage) {
            const QList<QByteArray> parts = rest.simplified().split(' ');
            voice.language = parts.value(0);
            bool ok = false;
            const int priority = parts.value(1).toInt(&ok);
            voice.priority = ok ? priority : 5;
            hasLanguage = true;
        }
    }
    if (!hasLanguage)
        return std::nullopt;
    if (voice.name.isEmpty())
        voice.name = identifier;
    return voice;
}

// Every voice file below folder, depth first in directory order as espeak-ng walks it; names
// starting with "." are left out, and so are empty files.
void collect(const std::filesystem::path& folder, const std::filesystem::path& top,
             std::vector<VoiceFile>& voices) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path path = it->path();
        if (path.filename().native().starts_with('.'))
            continue;
        std::error_code statError;
        if (std::filesystem::is_directory(path, statError)) {
            collect(path, top, voices);
        } else if (std::filesystem::is_regular_file(path, statError) &&
                   std::filesystem::file_size(path, statError) > 0 && !statError) {
            const QByteArray identifier =
                QByteArray::fromStdString(path.lexically_relative(top).generic_string());
            if (auto voice = readVoiceFile(QString::fromStdString(path.native()), identifier))
                voices.push_back(std::move(*voice));
        }
    }
}

} // namespace

namespace EspeakVoices {

QString DataDir() {
    const auto usable = [](const QString& path) { return QFileInfo(path).isDir(); };
    const QString fromEnvironment = qEnvironmentVariable("ESPEAK_DATA_PATH");
    if (!fromEnvironment.isEmpty()) {
        if (usable(fromEnvironment + QStringLiteral("/espeak-ng-data")))
            return fromEnvironment + QStringLiteral("/espeak-ng-data");
        if (usable(fromEnvironment))
            return fromEnvironment;
    }
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && usable(home + QStringLiteral("/espeak-ng-data")))
        return home + QStringLiteral("/espeak-ng-data");
    return QStringLiteral(NIMBREL_ESPEAK_DATA);
}

VoiceTokens List(const QString& dataDir) {
    std::vector<VoiceFile> files;
    for (const char* folder : {"voices", "lang"}) {
        const std::filesystem::path top =
            (dataDir + QLatin1Char('/') + QLatin1String(folder)).toStdString();
        collect(top, top, files);
    }
    // By language, then priority, then name; a stable sort keeps directory order for the rest,
    // as the C library's merge sort does.
    std::stable_sort(files.begin(), files.end(), [](const VoiceFile& a, const VoiceFile& b) {
        if (a.language != b.language)
            return a.language < b.language;
        if (a.priority != b.priority)
            return a.priority < b.priority;
        return a.name < b.name;
    });
    VoiceTokens voices;
    for (const VoiceFile& file : files) {
        if (file.priority == 0 || file.language == "variant" || file.identifier.startsWith("mb/"))
            continue;
        const QString name = QString::fromUtf8(file.name);
        voices.push_back({name, name, QString::fromUtf8(file.language)});
    }
    return voices;
}

} // namespace EspeakVoices
