#include "schedule/ScheduleEntries.h"
#include "tests/schedule/AllRows.h"
#include "tests/schedule/FolderFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestScheduleEntries final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refresh_data();
    void refresh();
    void addTwiceThenRebuild();
    void addFailureNamesTheFile();
    void remove();
    void fullSchedule();
};

void TestScheduleEntries::refresh_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("left"); // the folder afterwards, sorted

    QTest::newRow("empty folder") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("probing order")
        << QStringList{u"1200PM.tim"_s, u"0100PM.tim"_s, u"1200AM.tim"_s, u"1159AM.tim"_s}
        << QStringList{u"11:59 AM"_s, u"12:00 AM"_s, u"01:00 PM"_s, u"12:00 PM"_s}
        << QStringList{u"0100PM.tim"_s, u"1159AM.tim"_s, u"1200AM.tim"_s, u"1200PM.tim"_s};
    QTest::newRow("markers go, with or without their entry")
        << QStringList{u"0730AM.tim"_s, u"0730AM.spk"_s, u"0800AM.spk"_s}
        << QStringList{u"07:30 AM"_s} << QStringList{u"0730AM.tim"_s};
    const QStringList strangers{u"730AM.spk"_s,   u"730AM.tim"_s,  u"0730am.tim"_s,
                                u"1300PM.spk"_s,  u"0000AM.spk"_s, u"citydat.txt"_s,
                                u"0800AM.tim/"_s, u"0900AM.spk/"_s};
    QTest::newRow("other names and folders left alone") << strangers << QStringList{} << strangers;
}

void TestScheduleEntries::refresh() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, left);
    QTemporaryDir dir;
    FolderFiles::make(dir.path(), files);
    QCOMPARE(RefreshEntries(dir.path()), rows);
    left.sort();
    QCOMPARE(FolderFiles::list(dir.path()), left);
}

void TestScheduleEntries::addTwiceThenRebuild() {
    QTemporaryDir dir;
    for (int i = 0; i < 2; ++i) {
        QVERIFY(AddEntry(dir.path(), {u"12"_s, u"00"_s, u"AM"_s}));
        QCOMPARE(FolderFiles::list(dir.path()), (QStringList{u"1200AM.spk"_s, u"1200AM.tim"_s}));
        QCOMPARE(FolderFiles::read(dir.filePath(u"1200AM.spk"_s)), "1\r\n");
        QCOMPARE(RefreshEntries(dir.path()), QStringList{u"12:00 AM"_s});
        QCOMPARE(FolderFiles::list(dir.path()), QStringList{u"1200AM.tim"_s});
    }
}

void TestScheduleEntries::addFailureNamesTheFile() {
    QTemporaryDir dir;
    const Result<> gone = AddEntry(dir.filePath(u"gone"_s), {u"07"_s, u"30"_s, u"AM"_s});
    QVERIFY(!gone && gone.error().contains(u"0730AM.tim"_s));
    FolderFiles::make(dir.path(), {u"0730AM.spk/"_s});
    const Result<> taken = AddEntry(dir.path(), {u"07"_s, u"30"_s, u"AM"_s});
    QVERIFY2(!taken && taken.error().contains(u"0730AM.spk"_s), qPrintable(taken.error()));
}

void TestScheduleEntries::remove() {
    QTemporaryDir dir;
    // 08:00 AM's entry file is already gone: its marker still goes, and that is no error.
    FolderFiles::make(dir.path(), {u"0730AM.tim"_s, u"0730AM.spk"_s, u"0800AM.spk"_s,
                                   u"0900AM.tim"_s, u"1200PM.tim"_s});
    const QStringList ticked{u"07:30 AM"_s, u"08:00 AM"_s, u"12:00 PM"_s};
    QVERIFY(RemoveEntries(dir.path(), ticked));
    QCOMPARE(FolderFiles::list(dir.path()), QStringList{u"0900AM.tim"_s});
}

void TestScheduleEntries::fullSchedule() {
    QTemporaryDir dir;
    const QStringList rows = AllRows();
    for (const QString& row : rows)
        FolderFiles::make(dir.path(), {EntryFileName(TimeKey(row)), MarkerFileName(TimeKey(row))});
    QCOMPARE(RefreshEntries(dir.path()), rows);
    QCOMPARE(FolderFiles::list(dir.path()).size(), 1440);
    QVERIFY(RemoveEntries(dir.path(), rows));
    QCOMPARE(FolderFiles::list(dir.path()), QStringList{});
}

QTEST_GUILESS_MAIN(TestScheduleEntries)
#include "tst_scheduleentries.moc"
