#include "app/MessageBox.h"
#include "tests/schedule/FolderFiles.h"
#include "tests/support/TestWindow.h"

#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList rowsOf(const QListView* list) {
    QStringList rows;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        rows.append(list->model()->index(i, 0).data().toString());
    return rows;
}

void tick(QListView* list, int row) {
    QVERIFY(list->model()->setData(list->model()->index(row, 0), Qt::Checked, Qt::CheckStateRole));
}

// The entry files and markers in the folder, sorted.
QStringList scheduleFiles(const QString& dir) {
    QStringList names = FolderFiles::list(dir);
    names.removeIf(
        [](const QString& name) { return !name.endsWith(u".tim"_s) && !name.endsWith(u".spk"_s); });
    return names;
}

// Presses button, answering the message box it brings up, and returns that box.
MessageBox::Box pressExpectingBox(QPushButton* button) {
    MessageBox::resetAnswers();
    MessageBox::setNextAnswer(QMessageBox::Ok);
    button->click();
    const QList<MessageBox::Box> shown = MessageBox::answered();
    return shown.size() == 1 ? shown.constFirst() : MessageBox::Box{};
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
    TestWindow window;
    window.addTime(u"1"_s, u"00"_s, u"pm"_s);
    window.addTime(u"12"_s, u"00"_s, u"AM"_s);
    window.addTime(u"12"_s, u"0"_s, u"am"_s);
    QCOMPARE(rowsOf(window.control<QListView>("List1")),
             (QStringList{u"12:00 AM"_s, u"01:00 PM"_s}));
    QCOMPARE(scheduleFiles(window.dataDir()), (QStringList{u"0100PM.tim"_s, u"1200AM.tim"_s}));
    QCOMPARE(window.control<QComboBox>("Combo2")->currentText(),
             u"0"_s); // the boxes keep what was typed
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
    TestWindow window;
    FolderFiles::make(window.dataDir(), {u"0730AM.tim/"_s});
    window.addTime(u"08"_s, u"15"_s, u"AM"_s);
    const QStringList documents = FolderFiles::list(window.documents.path());
    const QStringList files = scheduleFiles(window.dataDir());

    window.setTimeBoxes(boxes[0], boxes[1], boxes[2]);
    const MessageBox::Box shown = pressExpectingBox(window.control<QPushButton>("Command1"));
    QCOMPARE(shown.title, u"Nimbrel"_s);
    QVERIFY2(shown.text.contains(named), qPrintable(shown.text));
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(FolderFiles::list(window.documents.path()), documents);
    QCOMPARE(scheduleFiles(window.dataDir()), files);
    QCOMPARE(rowsOf(window.control<QListView>("List1")), QStringList{u"08:15 AM"_s});
}

void TestForm1Schedule::removeTwoTickedRows() {
    TestWindow window;
    FolderFiles::make(window.dataDir(), {u"0730AM.tim"_s, u"0800AM.tim"_s, u"1200PM.tim"_s});
    window.form->RefreshTimeList();
    FolderFiles::make(window.dataDir(), {u"0730AM.spk"_s});
    auto* list = window.control<QListView>("List1");
    tick(list, 0);
    tick(list, 2);
    window.control<QPushButton>("Command2")->click();
    QCOMPARE(rowsOf(list), QStringList{u"08:00 AM"_s});
    QCOMPARE(list->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(scheduleFiles(window.dataDir()), QStringList{u"0800AM.tim"_s});
}

void TestForm1Schedule::removeWithNothingTicked() {
    TestWindow window;
    window.addTime(u"07"_s, u"30"_s, u"AM"_s);
    // A marker that a rebuild would delete shows that nothing was rebuilt either.
    FolderFiles::make(window.dataDir(), {u"0730AM.spk"_s});
    const QStringList files = scheduleFiles(window.dataDir());

    const MessageBox::Box shown = pressExpectingBox(window.control<QPushButton>("Command2"));
    QCOMPARE(shown.text, u"Please select the time(s) that you want to remove"_s);
    QCOMPARE(shown.title, u"Nimbrel"_s);
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(scheduleFiles(window.dataDir()), files);
    QCOMPARE(rowsOf(window.control<QListView>("List1")), QStringList{u"07:30 AM"_s});
}

void TestForm1Schedule::rowAddedInItsOwnMinuteIsAnnouncedOnce() {
    TestWindow window;
    window.clock->set(QTime(7, 30, 20));
    window.addTime(u"07"_s, u"30"_s, u"AM"_s);
    window.addTime(u"08"_s, u"00"_s, u"AM"_s);
    FolderFiles::make(window.dataDir(), {u"0800AM.spk"_s});
    const QString marker0730 = window.dataDir() + u"/0730AM.spk"_s;

    // Ticks far closer together than a minute: only the first one in 07:30 may announce.
    window.control<QTimer>("Timer2")->start(5);
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
    TestWindow window;
    QTimer& timer1 = *window.control<QTimer>("Timer1");
    QTimer& timer2 = *window.control<QTimer>("Timer2");
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
