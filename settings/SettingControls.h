#pragma once

#include "settings/SettingsFiles.h"

#include <QString>
#include <Qt>

class SpeechEngine;

// What the setting controls store when they change. Each returns a failed WriteResult whose
// error is the whole message for the user, naming the file and the reason.
namespace Settings {

// "Y" only for a fully checked box; clear and greyed both give "N".
QString CheckValue(Qt::CheckState state);

WriteResult StoreSection(const QString& dataDir, File file, Qt::CheckState state);
// "C" for metric, "F" for standard.
WriteResult StoreUnits(const QString& dataDir, bool metric);
// The Location text without its leading and trailing blanks, stored even when empty.
WriteResult StoreZip(const QString& dataDir, const QString& locationText);
// Makes the voice at position the engine's voice, then stores the position. When the engine
// refuses, the file is left alone. A negative position (nothing selected) does nothing.
WriteResult ChooseVoice(const QString& dataDir, SpeechEngine* engine, int position);

} // namespace Settings
