#pragma once

#include "core/Result.h"

#include <QString>

// The nine one-line settings files in the data folder.
namespace Settings {

enum class File {
    Zip,               // "citydat.txt"
    Greeting,          // "greetdat.txt"
    Units,             // "unitdat.txt"
    WindSection,       // "winddat.txt": the report's five sections, each on or off
    CitySection,       // "locatdat.txt"
    ForecastSection,   // "forecdat.txt"
    SunSection,        // "sundat.txt"
    AtmosphereSection, // "atmodat.txt"
    Voice,             // "voicedat.txt"
};

// The section files, in the order the load step reads them.
inline constexpr File kSectionFiles[] = {File::WindSection, File::CitySection,
                                         File::ForecastSection, File::SunSection,
                                         File::AtmosphereSection};

// The file's name, e.g. "winddat.txt".
QString NameOf(File file);
// The value a file stands for while it is missing ("90012", "Hello", "Y", "0"; empty for units).
QString DefaultOf(File file);
// True for the name of one of the nine files.
bool IsSettingsFileName(const QString& name);
// Full path of the file in dataDir.
QString PathOf(const QString& dataDir, File file);
// True when the file exists as an ordinary file (a folder of that name does not count). Nothing is
// present in an unknown (empty) data folder.
bool IsPresent(const QString& dataDir, File file);
// The stored value, read with the file's own reading rule; empty when missing, empty or
// unreadable. Only the first line is read, and of it at most kMaxLineBytes.
QString Read(const QString& dataDir, File file);
// Replaces the file with value and CR LF, atomically. Fails when dataDir is empty.
Result<> Write(const QString& dataDir, File file, const QString& value);

} // namespace Settings
