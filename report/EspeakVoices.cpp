#include "report/EspeakVoices.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A voice file whole, into buffer (they are a few hundred bytes; longer ones are not voice
// files); nothing when it cannot be read.
std::optional<std::string_view> readSmallFile(int folder, const char* name,
                                              std::vector<char>& buffer) {
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // One read takes a whole small file, which is every voice file.
    ssize_t got = 0;
    do
        got = ::read(fd, buffer.data(), buffer.size());
    while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return std::string_view(buffer.data(), static_cast<size_t>(got));
}

// One voice file's name and first language, read line by line as espeak-ng reads it: a '#'
// line is empty, "//" starts a comment, the keyword ends at the first blank.
std::optional<VoiceFile> parseVoiceFile(std::string_view text, const QByteArray& identifier) {
    VoiceFile voice{identifier, {}, {}, 0};
    bool hasLanguage = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with('#'))
            continue;
        // Blanks go from the end before the comment does, so a name followed by a comment
        // keeps the blank before it (espeak-ng lists "Cherokee " so).
        while (!line.empty() && isBlank(line.back()))
            line.remove_suffix(1);
        if (const size_t comment = line.find("//"); comment != std::string_view::npos)
            line = line.substr(0, comment);
        size_t blank = 0;
        while (blank < line.size() && !isBlank(line[blank]))
            ++blank;
        const std::string_view keyword = line.substr(0, blank);
        size_t value = blank;
        while (value < line.size() && isBlank(line[value]))
            ++value;
        const std::string_view rest = line.substr(value);
        if (keyword == "name") {
            voice.name =
                QByteArray(rest.data(), static_cast<qsizetype>(std::min<size_t>(rest.size(), 79)));
        } else if (keyword == "language" && !hasLanguage) {
            const QList<QByteArray> parts =
                QByteArray(rest.data(), static_cast<qsizetype>(rest.size()))
                    .simplified()
                    .split(' ');
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
// starting with "." are left out, and so are empty files. Read with the system's calls: the
// program lists the voices at every start.
void collect(int parent, const char* name, const QByteArray& prefix, std::vector<char>& buffer,
             std::vector<VoiceFile>& voices) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        unsigned char type = entry->d_type;
        struct stat status {};
        if (type == DT_UNKNOWN || type == DT_LNK) {
            if (::fstatat(fd, entry->d_name, &status, 0) != 0)
                continue;
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        const QByteArray identifier = prefix + entry->d_name;
        if (type == DT_DIR) {
            collect(fd, entry->d_name, identifier + '/', buffer, voices);
        } else if (type == DT_REG) {
            const std::optional<std::string_view> text = readSmallFile(fd, entry->d_name, buffer);
            if (!text || text->empty())
                continue;
            if (auto voice = parseVoiceFile(*text, identifier))
                voices.push_back(std::move(*voice));
        }
    }
    ::closedir(folder);
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
    std::vector<char> buffer(64 * 1024);
    for (const char* folder : {"voices", "lang"}) {
        const QByteArray top =
            QFile::encodeName(dataDir + QLatin1Char('/') + QLatin1String(folder));
        collect(AT_FDCWD, top.constData(), {}, buffer, files);
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
