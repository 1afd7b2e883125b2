#pragma once

#include <QString>
#include <functional>

// Outcome of a file write; error says why it failed, in words for the user.
struct WriteResult {
    bool ok = true;
    QString error;
    explicit operator bool() const { return ok; }
};

// Replaces the file at path with value followed by CR LF. The new content is written to a
// temporary file in the same folder and renamed over the old one, so a crash or a full disk never
// leaves a truncated file behind.
WriteResult WriteLineAtomically(const QString& path, const QString& value);

// Removes the temporary files that writes cut short by a crash left in folder: those named after a
// file for which writtenHere is true. Only while no other instance can be writing.
void RemoveLeftoverTemporaryFiles(const QString& folder,
                                  const std::function<bool(const QString&)>& writtenHere);
