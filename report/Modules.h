#pragma once

#include "report/Inet.h"
#include "report/SpeechEngine.h"
#include "report/VoiceEngine.h"

#include <functional>
#include <memory>

// The feed's transfer through the network module at modulePath, loaded at the first fetch. A
// module that cannot be loaded fails the fetch with FeedModuleFailed, naming the module and the
// reason, and is tried again at the next fetch.
FeedFetch FetchThroughModule(const QString& modulePath);

// The speech engine through the sound module at modulePath, loaded at the first announcement:
// the voices come from listVoices at once, Flite's synthesiser through loadFlite. A module that
// cannot be loaded fails each Speak with SpeechModuleFailed, naming the module and the reason, and
// is tried again at the next one; the chime is then left out.
std::unique_ptr<SpeechEngine> SpeechThroughModule(const QString& modulePath,
                                                  std::function<VoiceTokens()> listVoices,
                                                  SynthesiserLoader loadFlite = {});

// Flite's synthesiser through the Flite module at modulePath, loaded when a Flite voice first
// speaks; a module that cannot be loaded gives its name and the reason, and is tried again next
// time.
SynthesiserLoader FliteThroughModule(const QString& modulePath, int sampleRate, QStringList dirs);
