#include "tests/schedule/FolderFiles.h"
#include "tests/schedule/ScheduleWindow.h"

#include <QListWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList rowsOf(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows.append(list->item(i)->text());
    return rows;
}

// The entry files and markers in the folder, sorted.
QStringList scheduleFiles(const QString& dir) {
    QStringList names = FolderFiles::list(dir);
    names.removeIf(
        [](const QString& name) { return !name.endsWith(u".tim"_s) && !name.endsWith(u".spk"_s); });
    return names;
}

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Presses button under the window, answering the message box it brings up.
ShownBox pressExpectingBox(QPushButton* button) {
    ShownBox shown;
    answerNextMessageBox([&](QMessageBox* box) {
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
    });
    button->click();
    return shown;
}

} // namespace

class TestForm1Schedule final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addTwiceListsOneRow();
    void refusedAddWritesNothing_data();
    void refusedAddWritesNothing();
    void removeTwoTickedRows();
    void removeWithNothingTicked();
    void rowAddedInItsOwnMinuteIsAnnouncedOnce();
    void timer1LeavesTimer2Running();
};

void TestForm1Schedule::addTwiceListsOneRow() {
    ScheduleWindow window;
    window.add(u"1"_s, u"00"_s, u"pm"_s);
    window.add(u"12"_s, u"00"_s, u"AM"_s);
    window.add(u"12"_s, u"0"_s, u"am"_s);
    QCOMPARE(rowsOf(window.form->List1), (QStringList{u"12:00 AM"_s, u"01:00 PM"_s}));
    QCOMPARE(scheduleFiles(window.dataDir()), (QStringList{u"0100PM.tim"_s, u"1200AM.tim"_s}));
    QCOMPARE(window.form->Combo2->currentText(), u"0"_s); // the boxes keep what was typed
}

void TestForm1Schedule::refusedAddWritesNothing_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("named"); // what the message must name
    QTest::newRow("path as hour") << QStringList{u"../x"_s, u"00"_s, u"AM"_s} << u"../x"_s;
    QTest::newRow("period with a blank") << QStringList{u"07"_s, u"30"_s, u"AM "_s} << u"AM"_s;
    QTest::newRow("entry name taken by a folder")
        << QStringList{u"07"_s, u"30"_s, u"AM"_s} << u"0730AM.tim"_s;
}

void TestForm1Schedule::refusedAddWritesNothing() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, named);
    ScheduleWindow window;
    FolderFiles::make(window.dataDir(), {u"0730AM.tim/"_s});
    window.add(u"08"_s, u"15"_s, u"AM"_s);
    const QStringList documents = FolderFiles::list(window.documents.path());
    const QStringList files = scheduleFiles(window.dataDir());

    window.setBoxes(boxes[0], boxes[1], boxes[2]);
    const ShownBox shown = pressExpectingBox(window.form->Command1);
    QCOMPARE(shown.title, u"Nimbrel"_s);
    QVERIFY2(shown.text.contains(named), qPrintable(shown.text));
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(FolderFiles::list(window.documents.path()), documents);
    QCOMPARE(scheduleFiles(window.dataDir()), files);
    QCOMPARE(rowsOf(window.form->List1), QStringList{u"08:15 AM"_s});
}

void TestForm1Schedule::removeTwoTickedRows() {
    ScheduleWindow window;
    FolderFiles::make(window.dataDir(), {u"0730AM.tim"_s, u"0800AM.tim"_s, u"1200PM.tim"_s});
    window.form->RefreshTimeList();
    FolderFiles::make(window.dataDir(), {u"0730AM.spk"_s});
    QListWidget* list = window.form->List1;
    list->item(0)->setCheckState(Qt::Checked);
    list->item(2)->setCheckState(Qt::Checked);
    window.form->Command2->click();
    QCOMPARE(rowsOf(list), QStringList{u"08:00 AM"_s});
    QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(scheduleFiles(window.dataDir()), QStringList{u"0800AM.tim"_s});
}

void TestForm1Schedule::removeWithNothingTicked() {
    ScheduleWindow window;
    window.add(u"07"_s, u"30"_s, u"AM"_s);
    // A marker that a rebuild would delete shows that nothing was rebuilt either.
    FolderFiles::make(window.dataDir(), {u"0730AM.spk"_s});
    const QStringList files = scheduleFiles(window.dataDir());

    const ShownBox shown = pressExpectingBox(window.form->Command2);
    QCOMPARE(shown.text, u"Please select the time(s) that you want to remove"_s);
    QCOMPARE(shown.title, u"Nimbrel"_s);
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(scheduleFiles(window.dataDir()), files);
    QCOMPARE(rowsOf(window.form->List1), QStringList{u"07:30 AM"_s});
}

void TestForm1Schedule::rowAddedInItsOwnMinuteIsAnnouncedOnce() {
    ScheduleWindow window;
    window.clock->set(QTime(7, 30, 20));
    window.add(u"07"_s, u"30"_s, u"AM"_s);
    window.add(u"08"_s, u"00"_s, u"AM"_s);
    FolderFiles::make(window.dataDir(), {u"0800AM.spk"_s});
    const QString marker0730 = window.dataDir() + u"/0730AM.spk"_s;

    // Ticks far closer together than a minute: only the first one in 07:30 may announce.
    window.form->Timer2.start(5);
    QTRY_COMPARE(window.feed.requestCount(), 1);
    QTRY_VERIFY(QFileInfo::exists(marker0730));
    QTRY_VERIFY(!QFileInfo::exists(window.dataDir() + u"/0800AM.spk"_s));
    QTest::qWait(300);
    QCOMPARE(window.feed.requestCount(), 1);
    QVERIFY(!window.engine->spoken.isEmpty());

    window.clock->set(QTime(7, 31, 0));
    QTRY_VERIFY(!QFileInfo::exists(marker0730));
    window.clock->set(QTime(8, 0, 0));
    QTRY_COMPARE(window.feed.requestCount(), 2);
}

void TestForm1Schedule::timer1LeavesTimer2Running() {
    ScheduleWindow window;
    QTimer& timer1 = window.form->Timer1;
    QTimer& timer2 = window.form->Timer2;
    QTest::qWait(200);
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    // Not restarted: its minute still counts from the window's creation.
    QVERIFY(timer2.isActive() && timer2.remainingTime() < 60000 - 150);

    timer2.stop();
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    QVERIFY(timer2.isActive() && timer2.interval() == 60000);
}

QTEST_MAIN(TestForm1Schedule)
#include "tst_form1schedule.moc"
