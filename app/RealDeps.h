#pragma once

#include "app/Form1Deps.h"

// Call once the QApplication exists. Sets the application's identity and returns the real parts
// the window works with: the user's documents and runtime folders, the espeak-ng engine, the
// build's feed host and the chime beside the program.
Form1Deps PrepareRealApplication();
