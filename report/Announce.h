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
// window repaints, but user input waits until the chime has been heard.
void PlayChimeAndWait(SpeechEngine& engine, const QString& path);
