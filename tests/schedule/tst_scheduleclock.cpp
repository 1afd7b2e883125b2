#include "schedule/ScheduleClock.h"
#include "schedule/TimeKey.h"
#include "tests/schedule/AllRows.h"
#include "tests/schedule/FolderFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDate kDay(2026, 12, 7);

QDateTime at(int hour, int minute, int second = 0, int ms = 0, QDate day = kDay) {
    return QDateTime(day, QTime(hour, minute, second, ms));
}

// Ticks on one folder and state, noting each announcement by the clock text of its tick.
struct Ticker {
    QTemporaryDir dir;
    ScheduleClockState state;
    QStringList announced;

    void tick(const QDateTime& now, const QStringList& rows) {
        RunTick(dir.path(), now, rows, state, [&] { announced.append(ClockText(now.time())); });
    }
};

} // namespace

class TestScheduleClock final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ticks_data();
    void ticks();
    void tickDuringTheAnnouncement();
    void fullSchedule();
};

void TestScheduleClock::ticks_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<QDateTime>>("ticks");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("left"); // the folder after the last tick

    const QStringList twelves{u"11:59 AM"_s, u"12:00 AM"_s, u"12:00 PM"_s};
    QTest::newRow("midnight") << twelves << QStringList{} << QList{at(0, 0, 30)}
                              << QStringList{u"12:00 AM"_s} << QStringList{u"1200AM.spk"_s};
    QTest::newRow("noon") << twelves << QStringList{} << QList{at(12, 0)}
                          << QStringList{u"12:00 PM"_s} << QStringList{u"1200PM.spk"_s};
    QTest::newRow("12:05 AM") << QStringList{u"12:05 PM"_s, u"12:05 AM"_s} << QStringList{}
                              << QList{at(0, 5, 59, 999)} << QStringList{u"12:05 AM"_s}
                              << QStringList{u"1205AM.spk"_s};
    const QStringList morning{u"07:30 AM"_s, u"08:00 AM"_s};
    QTest::newRow("in the minute, then after it")
        << morning << QStringList{u"0800AM.spk"_s, u"0900AM.spk"_s}
        << QList{at(7, 30, 10), at(7, 31, 10)} << QStringList{u"07:30 AM"_s}
        << QStringList{u"0900AM.spk"_s};
    QTest::newRow("empty list touches nothing")
        << QStringList{} << QStringList{u"0730AM.tim"_s, u"0730AM.spk"_s} << QList{at(7, 30)}
        << QStringList{} << QStringList{u"0730AM.spk"_s, u"0730AM.tim"_s};
    QTest::newRow("late tick in the same minute")
        << morning << QStringList{} << QList{at(7, 30, 0, 200), at(7, 30, 59, 900)}
        << QStringList{u"07:30 AM"_s} << QStringList{u"0730AM.spk"_s};
    QTest::newRow("late tick, then the next minute on time")
        << QStringList{u"07:30 AM"_s, u"07:31 AM"_s} << QStringList{}
        << QList{at(7, 30, 59), at(7, 31, 0)} << QStringList{u"07:30 AM"_s, u"07:31 AM"_s}
        << QStringList{u"0731AM.spk"_s};
    const QStringList half{u"07:30 AM"_s};
    QTest::newRow("late by 1 s, into the next minute")
        << half << QStringList{} << QList{at(7, 29), at(7, 31, 1)} << QStringList{u"07:31 AM"_s}
        << QStringList{u"0730AM.spk"_s};
    QTest::newRow("late by 3 minutes")
        << half << QStringList{} << QList{at(7, 29), at(7, 33)} << QStringList{u"07:33 AM"_s}
        << QStringList{u"0730AM.spk"_s};
    QTest::newRow("late by 6 minutes: stale")
        << half << QStringList{u"0730AM.spk"_s} << QList{at(7, 29), at(7, 36)} << QStringList{}
        << QStringList{};
    QTest::newRow("several skipped rows: the latest only")
        << QStringList{u"07:30 AM"_s, u"07:31 AM"_s, u"07:32 AM"_s} << QStringList{}
        << QList{at(7, 29), at(7, 33)} << QStringList{u"07:33 AM"_s}
        << QStringList{u"0732AM.spk"_s};
    QTest::newRow("early tick") << half << QStringList{}
                                << QList{at(7, 29), at(7, 29, 59, 998), at(7, 30, 0, 3)}
                                << QStringList{u"07:30 AM"_s} << QStringList{u"0730AM.spk"_s};
    QTest::newRow("clock set back by 30 s")
        << QStringList{u"07:30 AM"_s, u"07:31 AM"_s} << QStringList{}
        << QList{at(7, 30), at(7, 31), at(7, 30, 30), at(7, 31)}
        << QStringList{u"07:30 AM"_s, u"07:31 AM"_s} << QStringList{u"0731AM.spk"_s};
    QTest::newRow("clock set back by an hour")
        << QStringList{u"06:31 AM"_s, u"07:30 AM"_s} << QStringList{}
        << QList{at(7, 30), at(6, 31), at(6, 32), at(7, 30), at(7, 31)}
        << QStringList{u"07:30 AM"_s, u"06:31 AM"_s} << QStringList{};
    QTest::newRow("late across midnight")
        << QStringList{u"12:00 AM"_s} << QStringList{}
        << QList{at(23, 59), at(0, 1, 0, 0, kDay.addDays(1))} << QStringList{u"12:01 AM"_s}
        << QStringList{u"1200AM.spk"_s};
    QTest::newRow("same minute the next day")
        << morning << QStringList{} << QList{at(7, 30, 10), at(7, 30, 10, 0, kDay.addDays(1))}
        << QStringList{u"07:30 AM"_s, u"07:30 AM"_s} << QStringList{u"0730AM.spk"_s};
}

void TestScheduleClock::ticks() {
    QFETCH(QStringList, rows);
    QFETCH(QStringList, files);
    QFETCH(QList<QDateTime>, ticks);
    QFETCH(QStringList, announced);
    QFETCH(QStringList, left);
    Ticker ticker;
    FolderFiles::make(ticker.dir.path(), files, "x");
    for (const QDateTime& now : ticks)
        ticker.tick(now, rows);
    QCOMPARE(ticker.announced, announced);
    QCOMPARE(FolderFiles::list(ticker.dir.path()), left);
    for (const QString& name : left)
        QCOMPARE(FolderFiles::read(ticker.dir.filePath(name)),
                 files.contains(name) ? "x" : "1\r\n");
}

void TestScheduleClock::tickDuringTheAnnouncement() {
    // The announcement waits for the feed in an event loop, where the next tick may arrive.
    Ticker ticker;
    const QStringList rows{u"07:30 AM"_s};
    int announcements = 0;
    std::function<void()> announce = [&] {
        if (++announcements < 5)
            RunTick(ticker.dir.path(), at(7, 30, 30), rows, ticker.state, announce);
    };
    RunTick(ticker.dir.path(), at(7, 30, 20), rows, ticker.state, announce);
    QCOMPARE(announcements, 1);
}

void TestScheduleClock::fullSchedule() {
    Ticker ticker;
    const QStringList rows = AllRows();
    for (const QString& row : rows)
        FolderFiles::make(ticker.dir.path(), {EntryFileName(TimeKey(row))});
    const QStringList expected{u"11:59 PM"_s, u"12:00 AM"_s, u"12:01 AM"_s};
    ticker.tick(at(23, 59, 30), rows);
    ticker.tick(at(0, 0, 30, 0, kDay.addDays(1)), rows);
    ticker.tick(at(0, 1, 30, 0, kDay.addDays(1)), rows);
    QCOMPARE(ticker.announced, expected);
    const QStringList files = FolderFiles::list(ticker.dir.path());
    QCOMPARE(files.size(), 1441);
    QVERIFY(files.contains(u"1201AM.spk"_s));
}

QTEST_GUILESS_MAIN(TestScheduleClock)
#include "tst_scheduleclock.moc"
