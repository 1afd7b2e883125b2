#include "schedule/TimeInput.h"
#include "schedule/TimeKey.h"
#include "tests/schedule/AllRows.h"

#include <QLocale>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestTimeKey final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowAt_data();
    void rowAt();
    void fileNames_data();
    void fileNames();
    void clockTextMatchesTheRows();
    void parseTimeInput_data();
    void parseTimeInput();
};

// The probing order, written out by hand at its turning points.
void TestTimeKey::rowAt_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("row");
    const std::pair<int, const char*> rows[] = {
        {0, "01:00 AM"},    {1, "01:01 AM"},    {59, "01:59 AM"},   {60, "02:00 AM"},
        {390, "07:30 AM"},  {599, "10:59 AM"},  {600, "11:00 AM"},  {659, "11:59 AM"},
        {660, "12:00 AM"},  {661, "12:01 AM"},  {719, "12:59 AM"},  {720, "01:00 PM"},
        {721, "01:01 PM"},  {779, "01:59 PM"},  {1110, "07:30 PM"}, {1319, "10:59 PM"},
        {1320, "11:00 PM"}, {1379, "11:59 PM"}, {1380, "12:00 PM"}, {1381, "12:01 PM"},
        {1438, "12:58 PM"}, {1439, "12:59 PM"}};
    for (const auto& [order, row] : rows)
        QTest::newRow(row) << order << QString::fromLatin1(row);
}

void TestTimeKey::rowAt() {
    QFETCH(int, order);
    QFETCH(QString, row);
    QCOMPARE(RowAt(order), row);
    QCOMPARE(AllRows().at(order), row);
    const QString key = TimeKey(row);
    QCOMPARE(ParseScheduleFileName(EntryFileName(key))->order, order);
    QCOMPARE(ParseScheduleFileName(MarkerFileName(key))->order, order);
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
    const QStringList rows = AllRows();
    for (int at = 0; at < rows.size(); ++at) {
        QCOMPARE(RowAt(at), rows[at]);
        QCOMPARE(ParseScheduleFileName(EntryFileName(TimeKey(rows[at])))->order, at);
        QVERIFY(ParseScheduleFileName(MarkerFileName(TimeKey(rows[at])))->marker);
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
    const QStringList all = AllRows();
    QSet<QString> rows(all.cbegin(), all.cend());
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
