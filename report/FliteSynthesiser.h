#pragma once

#include "report/Synthesiser.h"

#include <QStringList>
#include <memory>

// Speaks with CMU Flite's US English voices, each loaded from its library when it first
// speaks. Flite speaks sentence by sentence and hands on each piece as soon as it is made.
// Returns null, with the reason in why, when libflite cannot start.
std::unique_ptr<Synthesiser> CreateFliteSynthesiser(int sampleRate, const QStringList& dirs,
                                                    QString* why);
