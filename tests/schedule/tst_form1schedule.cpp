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
    void removeWithNothingTicked();
    void typedTimesAreTakenAsTyped_data();
    void typedTimesAreTakenAsTyped();
};

void TestForm1Schedule::removeWithNothingTicked() {
    TestWindow window;
    window.form->core().AddTime(u"07"_s, u"30"_s, u"AM"_s);
    // A marker that a rebuild would delete shows that nothing was rebuilt either.
    FolderFiles::make(window.dataDir(), {u"0730AM.spk"_s});
    const QStringList files = FolderFiles::schedule(window.dataDir());

    const MessageBox::Box shown = pressExpectingBox(window.control<QPushButton>("Command2"));
    QCOMPARE(shown.text, u"Please select the time(s) that you want to remove"_s);
    QCOMPARE(shown.title, u"Nimbrel"_s);
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(FolderFiles::schedule(window.dataDir()), files);
    QCOMPARE(rowsOf(window.control<QListView>("List1")), QStringList{u"07:30 AM"_s});
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
    QCOMPARE(FolderFiles::schedule(window.dataDir()),
             entry.isEmpty() ? QStringList() : QStringList{entry});
    // The list shows the core's rows; the boxes keep what was typed.
    QCOMPARE(rowsOf(window.control<QListView>("List1")).size(), entry.isEmpty() ? 0 : 1);
    QCOMPARE(window.control<QComboBox>("Combo2")->currentText(), typed[1]);
}

QTEST_MAIN(TestForm1Schedule)
#include "tst_form1schedule.moc"
