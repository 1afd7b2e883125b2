#pragma once

#include "core/Result.h"

#include <QString>
#include <functional>

// Replaces the file at path with value followed by CR LF. The new content is written to a
// temporary file in the same folder and renamed over the old one, so a crash or a full disk never
// leaves a truncated file behind. A failure says why, in the system's words.
Result<> WriteLineAtomically(const QString& path, const QString& value);

// Removes the temporary files that writes cut short by a crash left in folder: those named after a
// file for which writtenHere is true. Only while no other instance can be writing.
void RemoveLeftoverTemporaryFiles(const QString& folder,
                                  const std::function<bool(const QString&)>& writtenHere);
