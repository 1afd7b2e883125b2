#include "schedule/ScheduleClock.h"

#include "core/AtomicFile.h"
#include "schedule/ScheduleEntries.h"
#include "schedule/TimeKey.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr qint64 kMinutesPerDay = 24 * 60;
// A row this many minutes before the tick's own minute is still announced; an older one is not.
constexpr qint64 kMostMinutesLate = 5;
// Lands the tick just inside the new minute, even when the wall clock and the timer's clock
// drift apart by a few milliseconds.
constexpr int kTickMarginMs = 5;

QString clockTextOf(qint64 minute) {
    const qint64 ofDay = ((minute % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay;
    return ClockText(QTime(int(ofDay / 60), int(ofDay % 60)));
}

} // namespace

qint64 ClockMinute(const QDateTime& moment) {
    return moment.date().toJulianDay() * kMinutesPerDay + moment.time().hour() * 60 +
           moment.time().minute();
}

int MsecsToNextMinute(const QDateTime& now) {
    const QTime time = now.time();
    return 60000 - (time.second() * 1000 + time.msec()) + kTickMarginMs;
}

void ScheduleClockState::startAt(const QDateTime& now) {
    lastExamined = ClockMinute(now);
}

TickDecision DecideTick(const QDateTime& now, const QStringList& rows, const QSet<QString>& files,
                        const ScheduleClockState& state) {
    const qint64 minute = ClockMinute(now);
    qint64 first = minute;
    if (state.lastExamined && *state.lastExamined < minute)
        first = std::max(*state.lastExamined + 1, minute - kMostMinutesLate);
    else if (state.lastExamined && *state.lastExamined == minute)
        first = minute + 1; // nothing new to examine

    TickDecision decision;
    for (qint64 examined = minute; examined >= first && decision.matchedRow < 0; --examined) {
        // Rows are built by the list itself, never with blanks around them.
        decision.matchedRow = static_cast<int>(rows.indexOf(clockTextOf(examined)));
        decision.matchedMinute = examined;
    }
    if (decision.matchedRow >= 0) {
        decision.announce = !state.announced.contains(decision.matchedMinute);
    } else {
        // A tick in a minute already examined still keeps that minute's marker.
        decision.matchedRow = static_cast<int>(rows.indexOf(ClockText(now.time())));
        decision.matchedMinute = minute;
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString marker = MarkerFileName(TimeKey(rows[i]));
        if (i != decision.matchedRow && files.contains(marker))
            decision.markersToDelete.append(marker);
    }
    return decision;
}

void RunTick(const QString& dataDir, const QDateTime& now, const QStringList& rows,
             ScheduleClockState& state, const std::function<void()>& announce) {
    const qint64 minute = ClockMinute(now);
    const auto examined = [&] {
        state.lastExamined = minute;
        // Only a clock set back brings an old minute again; a couple of days cover that.
        state.announced.removeIf(
            [minute](qint64 done) { return std::abs(done - minute) > 2 * kMinutesPerDay; });
    };
    if (rows.isEmpty() || dataDir.isEmpty()) {
        examined();
        return;
    }
    const TickDecision decision = DecideTick(now, rows, OrdinaryFiles(dataDir), state);
    examined();
    if (decision.announce) {
        // Recorded first: the announcement waits for the feed in an event loop where the next
        // tick can already arrive.
        state.announced.insert(decision.matchedMinute);
        announce();
    }
    const QString folder = dataDir + QLatin1Char('/');
    if (decision.matchedRow >= 0)
        (void)WriteLineAtomically(folder + MarkerFileName(TimeKey(rows[decision.matchedRow])),
                                  QStringLiteral("1"));
    for (const QString& marker : decision.markersToDelete)
        QFile::remove(folder + marker);
}
