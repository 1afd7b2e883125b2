#pragma once

#include "report/ReportText.h"
#include "report/SpeechEngine.h"

#include <functional>

// The end of a report run: the chime, then the four sections queued on the engine, the opening
// with flags 3 (dropping earlier speech) and the others with flags 1. Returns once queued.
// With no engine it chimes and then throws NimbrelError(ErrorCode::SpeechNoEngine).
void Announce(SpeechEngine* engine, const std::function<void()>& playChime,
              const ReportSections& sections);

// Has the engine play the chime and waits for it as the feed fetch waits: timers run and the
// window repaints, but user input waits until the chime has been heard, or at most the chime's
// length plus 2 s, whatever the sound server does.
void PlayChimeAndWait(SpeechEngine& engine, const QString& path);

// How long the chime file plays, from its WAV header: the stand-in tone's length when it
// cannot be opened, the longest chime played when its header does not tell.
int ChimeLengthMs(const QString& path);
