#include "schedule/TimeInput.h"
#include "schedule/TimeKey.h"

#include <QLocale>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTimeKey final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void probingOrder();
    void fileNames_data();
    void fileNames();
    void clockTextMatchesTheRows();
    void parseTimeInput_data();
    void parseTimeInput();
};

void TestTimeKey::probingOrder() {
    QStringList rows;
    for (const ProbedTime& time : ProbingOrder()) {
        rows.append(time.row);
        QCOMPARE(time.entryFile, TimeKey(time.row) + u".tim"_s);
    }
    QCOMPARE(rows.size(), 1440);
    QCOMPARE(rows.first(), u"01:00 AM"_s);
    QCOMPARE(rows.indexOf(u"12:00 AM"_s), rows.indexOf(u"11:59 AM"_s) + 1);
    QCOMPARE(rows.indexOf(u"01:00 PM"_s), rows.indexOf(u"12:59 AM"_s) + 1);
    QCOMPARE(rows.indexOf(u"12:00 PM"_s), 1380);
    QCOMPARE(rows.last(), u"12:59 PM"_s);
    QCOMPARE(TimeKey(u"07:30 AM"_s), u"0730AM"_s);
}

void TestTimeKey::fileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("order"); // -1: not a schedule file
    QTest::addColumn<bool>("marker");
    QTest::newRow("entry") << u"0730AM.tim"_s << 390 << false;
    QTest::newRow("marker") << u"1259PM.spk"_s << 1439 << true;
    QTest::newRow("12 AM after 11 AM") << u"1200AM.tim"_s << 660 << false;
    for (const QString& name : {u"0730am.tim"_s, u"0730AM.TIM"_s, u"730AM.tim"_s, u"0000AM.tim"_s,
                                u"1300PM.tim"_s, u"0760AM.tim"_s, u"0730XM.tim"_s, u"0730AM.tim~"_s,
                                u"07:30 AM.tim"_s, u"\u0667730AM.tim"_s})
        QTest::newRow(qPrintable(name)) << name << -1 << false;
}

// Every time's two files name it at its place in the probing order, and nothing else does.
void TestTimeKey::fileNames() {
    QFETCH(QString, name);
    QFETCH(int, order);
    QFETCH(bool, marker);
    const std::optional<ScheduleFile> file = ParseScheduleFileName(name);
    QCOMPARE(file ? file->order : -1, order);
    QCOMPARE(file && file->marker, marker);
    int at = 0;
    for (const ProbedTime& time : ProbingOrder()) {
        QCOMPARE(RowAt(at), time.row);
        QCOMPARE(ParseScheduleFileName(time.entryFile)->order, at);
        QVERIFY(ParseScheduleFileName(time.markerFile)->marker);
        ++at;
    }
}

void TestTimeKey::clockTextMatchesTheRows() {
    // A locale whose own designators are not "AM" and "PM" must not change the clock text.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QCOMPARE(ClockText(QTime(0, 0)), u"12:00 AM"_s);
    QCOMPARE(ClockText(QTime(0, 5, 59, 999)), u"12:05 AM"_s);
    QCOMPARE(ClockText(QTime(12, 0)), u"12:00 PM"_s);
    QCOMPARE(ClockText(QTime(23, 59, 59)), u"11:59 PM"_s);
    // Every minute of the day reads as its own row.
    QSet<QString> rows;
    for (const ProbedTime& time : ProbingOrder())
        rows.insert(time.row);
    for (int minute = 0; minute < 1440; ++minute)
        rows.remove(ClockText(QTime(minute / 60, minute % 60)));
    QVERIFY(rows.isEmpty());
}

void TestTimeKey::parseTimeInput_data() {
    QTest::addColumn<QStringList>("boxes"); // hour, minute, period
    QTest::addColumn<QString>("result");    // the row, or a word the refusal must contain
    auto row = [](const QStringList& boxes, const QString& result) {
        QTest::newRow(qPrintable(u'"' + boxes.join(u"\" \""_s) + u'"')) << boxes << result;
    };
    row({u"7"_s, u"30"_s, u"AM"_s}, u"07:30 AM"_s);
    row({u"12"_s, u"5"_s, u"pm"_s}, u"12:05 PM"_s);
    row({u"1"_s, u"0"_s, u"Am"_s}, u"01:00 AM"_s);
    row({u"7pm"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u"13"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u"00"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u"007"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u"../x"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u""_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u" 7"_s, u"00"_s, u"AM"_s}, u"hour"_s);
    row({u"\u0667"_s, u"00"_s, u"AM"_s}, u"hour"_s); // a digit, but not an ASCII one
    row({u"07"_s, u"60"_s, u"AM"_s}, u"minute"_s);
    row({u"07"_s, u".."_s, u"AM"_s}, u"minute"_s);
    row({u"07"_s, u"30"_s, u"AM "_s}, u"AM or PM"_s);
    row({u"07"_s, u"30"_s, u"AM/x"_s}, u"AM or PM"_s);
    row({u"07"_s, u"30"_s, u""_s}, u"AM or PM"_s);
}

void TestTimeKey::parseTimeInput() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, result);
    const Result<ScheduleTime> input = ParseTimeInput(boxes[0], boxes[1], boxes[2]);
    if (input)
        QCOMPARE(input.value().row(), result);
    else
        QVERIFY2(input.error().contains(result) && !result.contains(u':'),
                 qPrintable(input.error()));
}

QTEST_GUILESS_MAIN(TestTimeKey)
#include "tst_timekey.moc"
