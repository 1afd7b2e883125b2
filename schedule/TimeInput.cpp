#include "schedule/TimeInput.h"

namespace {

// The value of one or two ASCII digits, or nothing.
std::optional<int> smallNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

Result<ScheduleTime> ParseTimeInput(const QString& hour, const QString& minute,
                                    const QString& period) {
    const std::optional<int> hourNumber = smallNumber(hour);
    if (!hourNumber || *hourNumber < 1 || *hourNumber > 12)
        return Failure{QStringLiteral("\"%1\" is not an hour. Please choose an hour from 01 to 12.")
                           .arg(hour)};
    const std::optional<int> minuteNumber = smallNumber(minute);
    if (!minuteNumber || *minuteNumber > 59)
        return Failure{
            QStringLiteral("\"%1\" is not a minute. Please choose minutes from 00 to 59.")
                .arg(minute)};
    const QString upperPeriod = period.toUpper();
    if (upperPeriod != QStringLiteral("AM") && upperPeriod != QStringLiteral("PM"))
        return Failure{
            QStringLiteral("\"%1\" is not AM or PM. Please choose AM or PM.").arg(period)};
    return ScheduleTime{TwoDigits(*hourNumber), TwoDigits(*minuteNumber), upperPeriod};
}
