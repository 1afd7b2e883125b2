#pragma once

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

// What the minute tick keeps between ticks: the calendar minute of its last announcement. A tick
// that comes late can land in the same minute as the one before it; without this the row of that
// minute would be announced twice.
struct ScheduleClockState {
    QDate date;
    int minuteOfDay = -1;

    bool announcedIn(const QDateTime& now) const;
    void recordAnnouncement(const QDateTime& now);
};

struct TickDecision {
    int matchedRow = -1;         // the row that equals the clock text, or -1
    bool announce = false;       // whether the matched row is to be announced now
    QStringList markersToDelete; // existing marker files of the rows that do not match
};

// Decides one tick: which row equals the clock text of now, whether it is still to be announced in
// this minute, and which of the files present in the data folder are markers of the other rows.
TickDecision DecideTick(const QDateTime& now, const QStringList& rows, const QSet<QString>& files,
                        const ScheduleClockState& state);

// One minute tick on the data folder: announces the matching row through announce, then writes
// that row's spoken marker and deletes the markers of the other rows. With no rows it touches
// nothing. A marker that cannot be written or deleted does not stop the tick: markers only note
// what was announced and nothing is decided by them.
void RunTick(const QString& dataDir, const QDateTime& now, const QStringList& rows,
             ScheduleClockState& state, const std::function<void()>& announce);
