#pragma once

#include "settings/AtomicFile.h"

#include <QString>

// The nine one-line settings files in the data folder.
namespace Settings {

enum class File { City, Greeting, Units, Wind, Location, Forecast, Sun, Atmosphere, Voice };

// Full path of the file in dataDir.
QString PathOf(const QString& dataDir, File file);
// True when the file exists as an ordinary file (a folder of that name does not count).
bool IsPresent(const QString& dataDir, File file);
// The stored value, read with the file's own reading rule; empty when empty or unreadable.
QString Read(const QString& dataDir, File file);
// Replaces the file with value and CR LF, atomically.
WriteResult Write(const QString& dataDir, File file, const QString& value);

} // namespace Settings
