#include "schedule/TimeKey.h"

QString TwoDigits(int number) {
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

QString ScheduleTime::row() const {
    return RowText(hour, minute, period);
}

QString ScheduleTime::key() const {
    return hour + minute + period;
}

QString RowText(const QString& hour, const QString& minute, const QString& period) {
    return hour + QLatin1Char(':') + minute + QLatin1Char(' ') + period;
}

QString TimeKey(const QString& rowText) {
    QString key = rowText;
    key.remove(QLatin1Char(':'));
    key.remove(QLatin1Char(' '));
    return key;
}

QString EntryFileName(const QString& key) {
    return key + QStringLiteral(".tim");
}

QString MarkerFileName(const QString& key) {
    return key + QStringLiteral(".spk");
}

QString ClockText(QTime time) {
    const int hour24 = time.hour();
    const int hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
    const QString period = hour24 < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    return RowText(TwoDigits(hour12), TwoDigits(time.minute()), period);
}

std::optional<ScheduleFile> ParseScheduleFileName(QStringView name) {
    if (name.size() != 10)
        return std::nullopt;
    const auto number = [&name](qsizetype at) {
        const QChar tens = name[at], ones = name[at + 1];
        return tens.isDigit() && ones.isDigit() && tens.unicode() < 128 && ones.unicode() < 128
                   ? (tens.unicode() - '0') * 10 + (ones.unicode() - '0')
                   : -1;
    };
    const int hour = number(0), minute = number(2);
    const QStringView period = name.mid(4, 2), suffix = name.mid(6);
    const bool pm = period == u"PM";
    if (hour < 1 || hour > 12 || minute < 0 || minute > 59 || (!pm && period != u"AM"))
        return std::nullopt;
    if (suffix != u".tim" && suffix != u".spk")
        return std::nullopt;
    return ScheduleFile{(pm ? 720 : 0) + (hour - 1) * 60 + minute, suffix == u".spk"};
}

QString RowAt(int order) {
    const int inPeriod = order % 720;
    return RowText(TwoDigits(inPeriod / 60 + 1), TwoDigits(inPeriod % 60),
                   order < 720 ? QStringLiteral("AM") : QStringLiteral("PM"));
}
