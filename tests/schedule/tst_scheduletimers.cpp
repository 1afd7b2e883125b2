#include "schedule/TimeKey.h"
#include "tests/support/TestWindow.h"

#include <QListView>
#include <QTest>

using namespace Qt::StringLiterals;

class TestScheduleTimers final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void timeAddedForTheNextMinuteIsAnnounced();
};

void TestScheduleTimers::timeAddedForTheNextMinuteIsAnnounced() {
    // Keep clear of a minute's edges, so the first tick, a minute after the window is created,
    // falls well inside the minute that follows.
    while (QTime::currentTime().second() < 2 || QTime::currentTime().second() > 50)
        QTest::qWait(500);

    TestWindowOptions options;
    options.clock = std::make_shared<SystemClock>();
    TestWindow window(options);
    const QDateTime created = QDateTime::currentDateTime();
    const QTime next = created.addSecs(60).time();
    const QString row = ClockText(next);
    window.addTime(row.left(2), row.mid(3, 2), row.right(2));
    const QAbstractItemModel* rows = window.control<QListView>("List1")->model();
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, 0).data().toString(), row);

    // No tick may come before the minute is up.
    QTest::qWait(45000);
    QCOMPARE(window.feed.requestCount(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(window.feed.requestCount() > 0, 30000);
    QCOMPARE(ClockText(QTime::currentTime()), row);
    QTRY_VERIFY(!window.engine->spoken.isEmpty());
    const QString marker = window.dataDir() + u"/"_s + MarkerFileName(TimeKey(row));
    QTRY_VERIFY(QFileInfo::exists(marker));

    // Timer1's single tick comes a few seconds later and must not bring a second announcement.
    QTRY_VERIFY_WITH_TIMEOUT(!window.control<QTimer>("Timer1")->isActive(), 15000);
    QVERIFY(window.control<QTimer>("Timer2")->isActive());
    QCOMPARE(window.feed.requestCount(), 1);
}

QTEST_MAIN(TestScheduleTimers)
#include "tst_scheduletimers.moc"
