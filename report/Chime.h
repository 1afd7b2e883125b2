#pragma once

#include "report/AudioOut.h"

#include <QString>

// Plays the WAV file at path and returns when it has finished. A short built-in tone stands in
// when the file is missing or unreadable; with no sound device it returns at once. Never throws:
// the chime never fails an announcement.
void PlayChime(const QString& path);

// What PlayChime plays for path: the file's samples, or the stand-in tone.
Sound LoadChimeSound(const QString& path);

// The sound as one channel at sampleRate (channels averaged, linear interpolation), so that it
// can share a stream with the speech.
Sound ToMono(const Sound& sound, int sampleRate);
