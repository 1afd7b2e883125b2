#pragma once

#include <QString>
#include <QTime>
#include <optional>

// One announcement time as the three texts of the time boxes: hour "01" to "12", minute "00" to
// "59", period "AM" or "PM".
struct ScheduleTime {
    QString hour;
    QString minute;
    QString period;

    QString row() const;
    QString key() const;
    bool operator==(const ScheduleTime&) const = default;
};

// A number as two digits with a leading "0" below 10, as the hour and minute texts are written.
QString TwoDigits(int number);

// The list row of a time: "07:30 AM".
QString RowText(const QString& hour, const QString& minute, const QString& period);
// The time key that names a row's files: the row text with every ":" and then every blank deleted,
// "07:30 AM" -> "0730AM".
QString TimeKey(const QString& rowText);
QString EntryFileName(const QString& key);  // "0730AM.tim": the time is scheduled
QString MarkerFileName(const QString& key); // "0730AM.spk": the time has just been announced

// The time of day as a row reads it, seconds dropped: "12:05 AM". The period is always "AM" or
// "PM", never the locale's designators, because the entry files are named with them.
QString ClockText(QTime time);

// What a schedule file's name says: its time's place in the probing order (AM before PM, and
// within each the hours 1 to 12 and minutes 0 to 59, so 12:00 AM follows 11:59 AM), and whether it
// is an entry (".tim") or a marker (".spk"). Nothing for any other name; the name must be exactly
// as the program writes it ("0730AM.tim").
struct ScheduleFile {
    int order;
    bool marker;
};
std::optional<ScheduleFile> ParseScheduleFileName(QStringView name);
// The row text of the time at a place of the probing order (0 to 1439).
QString RowAt(int order);
