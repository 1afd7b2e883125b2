#include "report/FliteVoices.h"

#include <QFile>

#include <unistd.h>

namespace {

struct FliteVoice {
    const char* name;
    const char* description;
    double gain; // measured on the report's sentences against espeak-ng's en-us
};

// The order a user meets them in the list: the clearest first.
constexpr FliteVoice kVoices[] = {
    {"cmu_us_slt", "English (America), Flite slt (female)", 0.61},
    {"cmu_us_rms", "English (America), Flite rms (male)", 1.12},
    {"cmu_us_awb", "English (America), Flite awb (male, Scottish accent)", 0.96},
    {"cmu_us_kal16", "English (America), Flite kal16 (male, older voice)", 2.1},
    {"cmu_us_kal", "English (America), Flite kal (male, older voice, telephone quality)", 0.9},
};

constexpr QLatin1StringView kIdPrefix("flite:");

QString libraryFile(const QString& name) {
    return QStringLiteral("/libflite_%1.so.1").arg(name);
}

const FliteVoice* find(const QString& id) {
    if (!id.startsWith(kIdPrefix))
        return nullptr;
    const QStringView name = QStringView(id).mid(kIdPrefix.size());
    for (const FliteVoice& voice : kVoices)
        if (name == QLatin1StringView(voice.name))
            return &voice;
    return nullptr;
}

} // namespace

namespace FliteVoices {

QStringList LibraryDirs() {
    QStringList dirs{QStringLiteral(NIMBREL_FLITE_LIBDIR)};
    for (const QString& dir : {QStringLiteral("/usr/lib/" NIMBREL_LIBRARY_ARCHITECTURE),
                               QStringLiteral("/usr/lib"), QStringLiteral("/usr/local/lib")})
        if (!dirs.contains(dir))
            dirs.append(dir);
    return dirs;
}

QString VoiceName(const QString& id) {
    const FliteVoice* voice = find(id);
    return voice ? QString::fromLatin1(voice->name) : QString();
}

double Gain(const QString& id) {
    const FliteVoice* voice = find(id);
    return voice ? voice->gain : 1.0;
}

QString LibraryPath(const QString& id, const QStringList& dirs) {
    const QString name = VoiceName(id);
    if (name.isEmpty())
        return {};
    for (const QString& dir : dirs) {
        const QString path = dir + libraryFile(name);
        if (::access(QFile::encodeName(path).constData(), R_OK) == 0)
            return path;
    }
    return {};
}

VoiceTokens List(const QStringList& dirs) {
    VoiceTokens voices;
    for (const FliteVoice& voice : kVoices) {
        const QString id = kIdPrefix + QLatin1StringView(voice.name);
        if (!LibraryPath(id, dirs).isEmpty())
            voices.push_back({id, QString::fromLatin1(voice.description), QStringLiteral("en-us")});
    }
    return voices;
}

} // namespace FliteVoices
