#pragma once

#include "report/AudioOut.h"

// A playback stream on the PulseAudio server (or PipeWire's), through libpulse's asynchronous
// API: every wait on the server has a time limit and can be given up from another thread, and
// the stream's buffer grows once the chime is out. noServer tells a machine without a sound
// server (where another output may serve) from a server that failed.
Result<std::unique_ptr<AudioOut>> OpenPulseStream(int sampleRate, int channels, bool* noServer);
