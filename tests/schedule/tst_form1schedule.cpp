#include "app/MessageBox.h"
#include "tests/schedule/FolderFiles.h"
#include "tests/support/TestWindow.h"

#include <QComboBox>
#include <QLineEdit>
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
    void ticksAnnounceOncePerMinute();
    void typedTimesAreTakenAsTyped_data();
    void typedTimesAreTakenAsTyped();
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

void TestForm1Schedule::ticksAnnounceOncePerMinute() {
    TestWindow window; // created at 07:30 by its clock
    window.addTime(u"07"_s, u"30"_s, u"AM"_s);
    window.addTime(u"07"_s, u"31"_s, u"AM"_s);
    window.addTime(u"08"_s, u"00"_s, u"AM"_s);
    const QString marker0731 = window.dataDir() + u"/0731AM.spk"_s;
    QTimer& timer2 = *window.control<QTimer>("Timer2");
    const auto tickAt = [&](QTime time) {
        window.clock->set(time);
        QMetaObject::invokeMethod(&timer2, "timeout");
        // Re-armed from the clock for the next minute's start.
        QCOMPARE((timer2.remainingTime() + 500) / 1000, 60 - time.second());
    };

    tickAt(QTime(7, 30, 20)); // the start-up minute is not examined
    QCOMPARE(window.feed.requestCount(), 0);
    tickAt(QTime(7, 31, 0, 5));
    tickAt(QTime(7, 31, 40));
    QCOMPARE(window.feed.requestCount(), 1);
    QVERIFY(QFileInfo::exists(marker0731));

    tickAt(QTime(7, 32, 0));
    QVERIFY(!QFileInfo::exists(marker0731));
    tickAt(QTime(8, 0, 0));
    QCOMPARE(window.feed.requestCount(), 2);
}

void TestForm1Schedule::typedTimesAreTakenAsTyped_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("entry");
    QTest::newRow("1 5 AM") << QStringList{u"1"_s, u"5"_s, u"AM"_s} << u"0105AM.tim"_s;
    QTest::newRow("7 5 pm") << QStringList{u"7"_s, u"5"_s, u"pm"_s} << u"0705PM.tim"_s;
    QTest::newRow("12 00 a") << QStringList{u"12"_s, u"00"_s, u"a"_s} << QString();
}

void TestForm1Schedule::typedTimesAreTakenAsTyped() {
    QFETCH(QStringList, typed);
    QFETCH(QString, entry);
    TestWindow window;
    window.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
    const char* boxes[] = {"Combo1", "Combo2", "Combo3"};
    for (int i = 0; i < 3; ++i) {
        auto* box = window.form->findChild<QComboBox*>(QLatin1String(boxes[i]));
        QVERIFY(box);
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box, typed[i]);
    }
    if (entry.isEmpty())
        MessageBox::setNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(window.form->findChild<QPushButton*>(u"Command1"_s), Qt::LeftButton);
    QCOMPARE(scheduleFiles(window.dataDir()), entry.isEmpty() ? QStringList() : QStringList{entry});
}

void TestForm1Schedule::timer1LeavesTimer2Running() {
    TestWindow window; // created at 07:30 by its clock
    QTimer& timer1 = *window.control<QTimer>("Timer1");
    QTimer& timer2 = *window.control<QTimer>("Timer2");
    QVERIFY(timer2.isSingleShot());
    window.clock->set(QTime(7, 30, 40));
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    // Not re-armed: it still counts to the minute from the window's creation.
    QVERIFY(timer2.isActive() && timer2.remainingTime() > 40000);

    timer2.stop();
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    QVERIFY(timer2.isActive() && timer2.remainingTime() <= 20005);
}

QTEST_MAIN(TestForm1Schedule)
#include "tst_form1schedule.moc"
