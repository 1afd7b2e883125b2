#include "schedule/TimeKey.h"
#include "tests/support/TestRig.h"

#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

class TestScheduleTimers final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void nextMinuteIsAnnouncedAtItsStart();
};

void TestScheduleTimers::nextMinuteIsAnnouncedAtItsStart() {
    // Clear of the minute's end, so that the core is created in the minute read here.
    while (QTime::currentTime().second() > 57)
        QTest::qWait(200);
    TestRigOptions options;
    options.clock = std::make_shared<SystemClock>();
    TestCore rig(options);
    const QDateTime created = QDateTime::currentDateTime();
    const QString row = ClockText(created.addSecs(60).time());
    rig.core->AddTime(row.left(2), row.mid(3, 2), row.right(2));
    QCOMPARE(rig.core->schedule().rows().size(), 1);

    // No tick before the minute begins, whatever second the core was created at.
    const int untilTheMinute = 60000 - (created.time().second() * 1000 + created.time().msec());
    QTest::qWait(std::max(0, untilTheMinute - 700));
    QCOMPARE(rig.feed.requestCount(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(rig.feed.requestCount() > 0, 5000);
    const QTime asked = QTime::currentTime();
    QCOMPARE(ClockText(asked), row);
    // At the start of the minute; the margin only absorbs a loaded machine.
    QVERIFY2(asked.second() < 2, qPrintable(asked.toString(u"hh:mm:ss.zzz"_s)));
    QTRY_VERIFY(!rig.engine->spoken.isEmpty());
    QTRY_VERIFY(QFileInfo::exists(rig.dataDir() + u"/"_s + MarkerFileName(TimeKey(row))));

    // Timer1's single tick comes a few seconds after the first minute and brings nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.core->findChild<QTimer*>(u"Timer1"_s)->isActive(), 70000);
    QVERIFY(rig.core->findChild<QTimer*>(u"Timer2"_s)->isActive());
    QCOMPARE(rig.feed.requestCount(), 1);
}

QTEST_MAIN(TestScheduleTimers)
#include "tst_scheduletimers.moc"
