#include "settings/LoadSettings.h"

#include "settings/ReadRules.h"

namespace Settings {

bool LoadCheckBox(const QString& dataDir, File file) {
    QString value = DefaultOf(file);
    if (IsPresent(dataDir, file))
        value = Read(dataDir, file);
    else
        Write(dataDir, file, value); // start-up reports nothing; the box is checked either way
    return value != u"N";
}

bool LoadUnitsMetric(const QString& dataDir) {
    return Read(dataDir, File::Units) == u"C";
}

std::optional<QString> LoadZip(const QString& dataDir) {
    if (!IsPresent(dataDir, File::City))
        return std::nullopt;
    return Read(dataDir, File::City);
}

QString LoadGreeting(const QString& dataDir) {
    return IsPresent(dataDir, File::Greeting) ? Read(dataDir, File::Greeting)
                                              : DefaultOf(File::Greeting);
}

std::optional<int> LoadVoicePosition(const QString& dataDir, int voiceCount, int whenMissing) {
    const std::optional<int> position = IsPresent(dataDir, File::Voice)
                                            ? ParsePosition(Read(dataDir, File::Voice))
                                            : std::optional<int>(whenMissing);
    if (!position || *position >= voiceCount)
        return std::nullopt;
    return position;
}

} // namespace Settings
