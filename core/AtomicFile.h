#pragma once

#include "core/Result.h"

#include <QString>

// Replaces the file at path with value followed by CR LF. The new content is written to a
// temporary file in the same folder and renamed over the old one, so a crash or a full disk never
// leaves a truncated file behind. A failure says why, in the system's words.
Result<> WriteLineAtomically(const QString& path, const QString& value);
