#pragma once

#include "report/SpeechEngine.h"

#include <QString>

// espeak-ng's voice list, in the order espeak_ListVoices gives it, read from its voice files.
// Neither the synthesiser nor its audio output starts, and its library need not be loaded: the
// window lists the voices at every start, and speaks only at announcements.
namespace EspeakVoices {

// The data folder espeak-ng itself uses: $ESPEAK_DATA_PATH (or its espeak-ng-data subfolder),
// then ~/espeak-ng-data, then the one it was built with.
QString DataDir();

// The voices under dataDir's "voices" and "lang" folders, without variants and mbrola voices.
// Empty when the folder holds none.
VoiceTokens List(const QString& dataDir);

} // namespace EspeakVoices
