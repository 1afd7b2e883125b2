#pragma once

#include "app/Form1Deps.h"

#include <future>

// Starts reading espeak-ng's voice list on a thread of its own, so that the files are read while
// Qt connects to the display. Call first thing in main.
std::shared_future<VoiceTokens> StartReadingVoices();

// Call once the QApplication exists, with the voice list begun before it. Sets the application's
// identity and returns the real parts the window works with: the user's documents and runtime
// folders, the espeak-ng engine, the build's feed host and the chime beside the program.
Form1Deps PrepareRealApplication(std::shared_future<VoiceTokens> voices);
