// The announcement list and the minute tick as the core keeps them, with no window.
#include "tests/schedule/FolderFiles.h"
#include "tests/support/TestRig.h"

#include <QFileInfo>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The entry files and markers in the folder, sorted.
QStringList scheduleFiles(const QString& dir) {
    QStringList names = FolderFiles::list(dir);
    names.removeIf(
        [](const QString& name) { return !name.endsWith(u".tim"_s) && !name.endsWith(u".spk"_s); });
    return names;
}

} // namespace

class tst_CoreSchedule final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addTwiceListsOneRow();
    void refusedAddWritesNothing_data();
    void refusedAddWritesNothing();
    void removeTwoTickedRows();
    void ticksAnnounceOncePerMinute();
    void timer1LeavesTimer2Running();
};

void tst_CoreSchedule::addTwiceListsOneRow() {
    TestCore rig;
    rig.core->AddTime(u"1"_s, u"00"_s, u"pm"_s);
    rig.core->AddTime(u"12"_s, u"00"_s, u"AM"_s);
    rig.core->AddTime(u"12"_s, u"0"_s, u"am"_s);
    QCOMPARE(rig.core->schedule().rows(), (QStringList{u"12:00 AM"_s, u"01:00 PM"_s}));
    QCOMPARE(scheduleFiles(rig.dataDir()), (QStringList{u"0100PM.tim"_s, u"1200AM.tim"_s}));
}

void tst_CoreSchedule::refusedAddWritesNothing_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("named"); // what the message must name
    QTest::newRow("path as hour") << QStringList{u"../x"_s, u"00"_s, u"AM"_s} << u"../x"_s;
    QTest::newRow("period with a blank") << QStringList{u"07"_s, u"30"_s, u"AM "_s} << u"AM"_s;
    QTest::newRow("entry name taken by a folder")
        << QStringList{u"07"_s, u"30"_s, u"AM"_s} << u"0730AM.tim"_s;
}

void tst_CoreSchedule::refusedAddWritesNothing() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, named);
    TestCore rig;
    FolderFiles::make(rig.dataDir(), {u"0730AM.tim/"_s});
    rig.core->AddTime(u"08"_s, u"15"_s, u"AM"_s);
    const QStringList documents = FolderFiles::list(rig.documents.path());
    const QStringList files = scheduleFiles(rig.dataDir());

    rig.core->AddTime(boxes[0], boxes[1], boxes[2]);
    QCOMPARE(rig.notices.size(), 1);
    QCOMPARE(rig.notices[0].first, AppCore::Notice::Warning);
    QVERIFY2(rig.notices[0].second.contains(named), qPrintable(rig.notices[0].second));
    QCOMPARE(FolderFiles::list(rig.documents.path()), documents);
    QCOMPARE(scheduleFiles(rig.dataDir()), files);
    QCOMPARE(rig.core->schedule().rows(), QStringList{u"08:15 AM"_s});
}

void tst_CoreSchedule::removeTwoTickedRows() {
    TestCore rig;
    FolderFiles::make(rig.dataDir(), {u"0730AM.tim"_s, u"0800AM.tim"_s, u"1200PM.tim"_s});
    rig.core->RefreshTimeList();
    FolderFiles::make(rig.dataDir(), {u"0730AM.spk"_s});
    ScheduleModel& list = rig.core->schedule();
    QVERIFY(list.setData(list.index(0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(list.setData(list.index(2), Qt::Checked, Qt::CheckStateRole));
    rig.core->RemoveTicked();
    QCOMPARE(list.rows(), QStringList{u"08:00 AM"_s});
    QCOMPARE(list.index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(scheduleFiles(rig.dataDir()), QStringList{u"0800AM.tim"_s});
}

void tst_CoreSchedule::ticksAnnounceOncePerMinute() {
    TestCore rig; // created at 07:30 by its clock
    rig.core->AddTime(u"07"_s, u"30"_s, u"AM"_s);
    rig.core->AddTime(u"07"_s, u"31"_s, u"AM"_s);
    rig.core->AddTime(u"08"_s, u"00"_s, u"AM"_s);
    const QString marker0731 = rig.dataDir() + u"/0731AM.spk"_s;
    QTimer& timer2 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer2"));
    const auto tickAt = [&](QTime time) {
        rig.clock->set(time);
        QMetaObject::invokeMethod(&timer2, "timeout");
        // Re-armed from the clock for the next minute's start.
        QCOMPARE((timer2.remainingTime() + 500) / 1000, 60 - time.second());
    };

    tickAt(QTime(7, 30, 20)); // the start-up minute is not examined
    QCOMPARE(rig.feed.requestCount(), 0);
    tickAt(QTime(7, 31, 0, 5));
    tickAt(QTime(7, 31, 40));
    QCOMPARE(rig.feed.requestCount(), 1);
    QVERIFY(QFileInfo::exists(marker0731));

    tickAt(QTime(7, 32, 0));
    QVERIFY(!QFileInfo::exists(marker0731));
    tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.feed.requestCount(), 2);
}

void tst_CoreSchedule::timer1LeavesTimer2Running() {
    TestCore rig; // created at 07:30 by its clock
    QTimer& timer1 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer1"));
    QTimer& timer2 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer2"));
    QVERIFY(timer2.isSingleShot());
    rig.clock->set(QTime(7, 30, 40));
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    // Not re-armed: it still counts to the minute from the window's creation.
    QVERIFY(timer2.isActive() && timer2.remainingTime() > 40000);

    timer2.stop();
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    QVERIFY(timer2.isActive() && timer2.remainingTime() <= 20005);
}

QTEST_MAIN(tst_CoreSchedule)
#include "tst_coreschedule.moc"
