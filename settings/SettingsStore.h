#pragma once

#include "settings/SettingsFiles.h"

#include <QString>
#include <array>
#include <optional>

namespace Settings {

// The settings as the program uses them, built once with the data folder. It holds the live
// values, what the user has typed but not stored included, and writes a file only when told to:
// at a change of a setting, on "&Okay", after a lookup that found the city. Needs no window.
class Store final {
public:
    explicit Store(QString dataDir);

    const QString& dataDir() const { return m_dataDir; }

    // The load step: reads every file once with its rule, and creates a missing section file with
    // "Y" (when the folder allows it). Reports nothing.
    void Load();

    // True when "citydat.txt" was present at the load step: the window then starts in the tray.
    bool zipStored() const { return m_zipStored; }
    const QString& zip() const { return m_zip; }
    const QString& greeting() const { return m_greeting; }
    bool metric() const { return m_metric; }
    // Whether a report section is on; file is one of kSectionFiles.
    bool section(File file) const { return m_sections[sectionIndex(file)]; }
    // The voice list position to select: the stored one, whenMissing when the file was missing;
    // nothing when the stored text is empty, not a number, negative, or names no entry of
    // voiceCount voices.
    std::optional<int> voicePosition(int voiceCount, int whenMissing) const;

    // What the user typed, kept without storing it.
    void setZip(const QString& typed) { m_zip = typed; }
    void setGreeting(const QString& typed) { m_greeting = typed; }

    // Each keeps the value, then replaces its file ("&Okay" and a lookup store the ZIP code and the
    // greeting trimmed of spaces). A failure gives the system's reason; the value stays.
    Result<> SaveZip();
    Result<> SaveGreeting();
    Result<> SetMetric(bool metric);
    Result<> SetSection(File file, bool on);
    Result<> SetVoicePosition(int position);

private:
    static std::size_t sectionIndex(File file);

    QString m_dataDir;
    bool m_zipStored = false;
    QString m_zip = DefaultOf(File::Zip);
    QString m_greeting = DefaultOf(File::Greeting);
    bool m_metric = false;
    std::array<bool, std::size(kSectionFiles)> m_sections{true, true, true, true, true};
    std::optional<QString> m_voice; // nothing while "voicedat.txt" is missing
};

} // namespace Settings
