#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What the minute tick keeps between ticks. Minutes are counted as the wall clock reads them
// (day and time of day), so a clock set back or forward moves them back or forward too.
struct ScheduleClockState {
    std::optional<qint64> lastExamined; // the latest minute a tick has examined
    QSet<qint64> announced;             // the minutes whose row was announced, lately

    // Counts the minute of now as examined: the start-up minute is never announced.
    void startAt(const QDateTime& now);
};

// The clock minute of a moment: days and minutes of the wall clock, seconds dropped.
qint64 ClockMinute(const QDateTime& moment);

// How long until the next minute of the wall clock begins, from now, plus a few milliseconds so
// that the tick lands inside that minute.
int MsecsToNextMinute(const QDateTime& now);

struct TickDecision {
    int matchedRow = -1;         // the row of the examined minutes that gets the marker, or -1
    bool announce = false;       // whether the matched row is to be announced now
    qint64 matchedMinute = 0;    // the clock minute of the matched row
    QStringList markersToDelete; // existing marker files of the other rows
};

// Decides one tick. It examines the minutes after the last examined one up to now's; of those
// with a row only the latest counts, and only when at most 5 minutes before now's, so a late
// tick still announces while a resume from a night's suspend announces nothing stale. A minute
// whose row was announced is never announced again, even when the clock is set back. A tick in
// a minute already examined (early, or after the clock was set back a little) examines nothing
// new; a clock set back further examines now's minute alone.
TickDecision DecideTick(const QDateTime& now, const QStringList& rows, const QSet<QString>& files,
                        const ScheduleClockState& state);

// One minute tick on the data folder: announces the decided row through announce, then writes
// that row's spoken marker and deletes the markers of the other rows. With no rows it touches
// no file. A marker that cannot be written or deleted does not stop the tick: markers only note
// what was announced and nothing is decided by them.
void RunTick(const QString& dataDir, const QDateTime& now, const QStringList& rows,
             ScheduleClockState& state, const std::function<void()>& announce);
