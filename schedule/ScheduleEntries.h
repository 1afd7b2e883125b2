#pragma once

#include "core/Result.h"
#include "schedule/TimeKey.h"

#include <QSet>
#include <QString>
#include <QStringList>

// The schedule lives only in the data folder: an entry file per scheduled time, and a spoken marker
// per time that has just been announced. These functions are the only ones that touch them.

// The names of the ordinary files directly in dataDir (no folders, no hidden or special files).
QSet<QString> OrdinaryFiles(const QString& dataDir);

// Probes all 1440 times in their fixed order, deletes the spoken marker of each, and returns the
// rows of the times whose entry file exists, in that order. Files with any other name are left
// alone. The folder is listed once rather than probed 2880 times.
QStringList RefreshEntries(const QString& dataDir);

// Writes the entry file and the spoken marker of time, each replaced whole with "1" and CR LF. On
// failure the error names the file and the reason.
Result<> AddEntry(const QString& dataDir, const ScheduleTime& time);

// Deletes the entry file and the spoken marker of each row, each only when present. A failure
// holds one line per file that exists but could not be deleted.
Result<> RemoveEntries(const QString& dataDir, const QStringList& rows);
