#include "schedule/ScheduleClock.h"

#include "core/AtomicFile.h"
#include "schedule/ScheduleEntries.h"
#include "schedule/TimeKey.h"

#include <QFile>

namespace {

int minuteOfDay(const QDateTime& moment) {
    return moment.time().hour() * 60 + moment.time().minute();
}

} // namespace

bool ScheduleClockState::announcedIn(const QDateTime& now) const {
    return date == now.date() && minuteOfDay == ::minuteOfDay(now);
}

void ScheduleClockState::recordAnnouncement(const QDateTime& now) {
    date = now.date();
    minuteOfDay = ::minuteOfDay(now);
}

TickDecision DecideTick(const QDateTime& now, const QStringList& rows, const QSet<QString>& files,
                        const ScheduleClockState& state) {
    TickDecision decision;
    const QString clock = ClockText(now.time());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        // Rows are built by the list itself, never with blanks around them.
        if (rows[i] == clock) {
            if (decision.matchedRow < 0) {
                decision.matchedRow = static_cast<int>(i);
                decision.announce = !state.announcedIn(now);
            }
            continue;
        }
        const QString marker = MarkerFileName(TimeKey(rows[i]));
        if (files.contains(marker))
            decision.markersToDelete.append(marker);
    }
    return decision;
}

void RunTick(const QString& dataDir, const QDateTime& now, const QStringList& rows,
             ScheduleClockState& state, const std::function<void()>& announce) {
    if (rows.isEmpty() || dataDir.isEmpty())
        return;
    const QString folder = dataDir + QLatin1Char('/');
    const TickDecision decision = DecideTick(now, rows, OrdinaryFiles(dataDir), state);
    if (decision.announce) {
        // Recorded first: the announcement waits for the feed in an event loop where the next
        // tick can already arrive.
        state.recordAnnouncement(now);
        announce();
    }
    if (decision.matchedRow >= 0)
        (void)WriteLineAtomically(folder + MarkerFileName(TimeKey(rows[decision.matchedRow])),
                                  QStringLiteral("1"));
    for (const QString& marker : decision.markersToDelete)
        QFile::remove(folder + marker);
}
