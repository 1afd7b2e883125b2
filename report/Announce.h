#pragma once

#include "report/ReportText.h"
#include "report/SpeechEngine.h"

#include <functional>

// The end of a report run: the chime, then the four sections queued on the engine, the opening
// with flags 3 (dropping earlier speech) and the others with flags 1. Returns once queued.
// With no engine it chimes and then throws NimbrelError(ErrorCode::SpeechNoEngine).
void Announce(SpeechEngine* engine, const std::function<void()>& playChime,
              const ReportSections& sections);
