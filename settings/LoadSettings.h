#pragma once

#include "settings/SettingsFiles.h"

#include <QString>
#include <optional>

// How start-up turns the stored files into control values. None of these reports anything.
namespace Settings {

// A report-section box: unchecked only by "N". A missing file is created with "Y" (when the
// folder allows it) and the box is checked.
bool LoadCheckBox(const QString& dataDir, File file);
// True (metric) only when the units file holds "C"; a missing file means standard units.
bool LoadUnitsMetric(const QString& dataDir);
// The stored ZIP code, or nothing when "citydat.txt" is missing (the window then shows the
// default and stays visible). A present empty file gives an empty ZIP code.
std::optional<QString> LoadZip(const QString& dataDir);
// The stored greeting, whole; "Hello" when the file is missing.
QString LoadGreeting(const QString& dataDir);
// The voice list position to select: whenMissing when the file is missing; nothing when the
// stored text is empty, not a number, negative, or names no entry of a list of voiceCount voices.
std::optional<int> LoadVoicePosition(const QString& dataDir, int voiceCount, int whenMissing = 0);

} // namespace Settings
