#pragma once

#include "report/SpeechEngine.h"

#include <QString>
#include <QStringList>

// CMU Flite's US English voices, each a shared library of its own. Listing them only looks for
// those files: neither libflite nor a voice is loaded at start.
namespace FliteVoices {

// Where the voice libraries are looked for, in order: the folder the program was built
// against, then the usual library folders.
QStringList LibraryDirs();

// The voices whose library one of dirs holds, in a fixed order: slt, rms, awb, kal16, kal.
VoiceTokens List(const QStringList& dirs);

// The library file of a listed voice's id in the first of dirs that holds it; empty when none
// does or the id is not a Flite voice.
QString LibraryPath(const QString& id, const QStringList& dirs);

// What a voice's library calls it ("cmu_us_slt"), from its id; empty when the id is not a
// Flite voice.
QString VoiceName(const QString& id);

// How much louder the voice is made, so that it speaks as loud as espeak-ng's voices.
double Gain(const QString& id);

// The id of the voice a first start picks where it is installed.
inline constexpr char kSltId[] = "flite:cmu_us_slt";

} // namespace FliteVoices
