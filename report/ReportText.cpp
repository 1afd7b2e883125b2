#include "report/ReportText.h"

#include "core/FeedContract.h"
#include "core/Text.h"
#include "report/GetAttrValue.h"

#include <QStringBuilder>

namespace {

// "h:mm ampm", with the designators the caller took from the locale.
QString formatTime(const ReportTime& time) {
    const QTime t = time.time.isValid() ? time.time : QTime(0, 0);
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    QString text = QString::number(hour12) + u':';
    if (t.minute() < 10)
        text += u'0';
    text += QString::number(t.minute()) + u' ';
    return text + (t.hour() < 12 ? time.amDesignator : time.pmDesignator);
}

QString trendWord(const QString& code) {
    if (code == u"1")
        return QStringLiteral("rising");
    if (code == u"2")
        return QStringLiteral("falling");
    if (code == u"0")
        return QStringLiteral("steady");
    return {};
}

QString greetingPhrase(const QString& greeting) {
    if (TrimSpaces(greeting).isEmpty())
        return {};
    return TrimSpaces(greeting + u'.');
}

} // namespace

FeedValues ExtractFeedValues(const QString& document) {
    using namespace FeedContract;
    const auto value = [&document](Key key) {
        return GetAttrValue(document, AsciiText(kKeys[key]));
    };
    FeedValues v;
    v.city = value(City);
    v.condition = value(Text);
    v.temperature = value(Temp);
    v.windSpeed = value(Speed);
    v.low = value(Low);
    v.high = value(High);
    v.humidity = value(Humidity);
    v.visibility = value(Visibility);
    v.pressure = value(Pressure);
    v.trend = value(Rising);
    v.sunrise = value(Sunrise);
    v.sunset = value(Sunset);
    return v;
}

ReportSections ComposeReport(const FeedValues& values, const QString& unitLetter,
                             const SectionSwitches& switches, const QString& greeting,
                             const ReportTime& time) {
    const bool metric = unitLetter == u"c";
    const QString speedWords =
        metric ? QStringLiteral("kilometers per hour. ") : QStringLiteral("miles per hour. ");
    const QString visibilityPhrase =
        values.visibility % (metric ? QStringLiteral(" kilometers. ") : QStringLiteral(" miles. "));
    const QString windPhrase =
        switches.wind
            ? QString(QStringLiteral("with wind at ") % values.windSpeed % u' ' % speedWords)
            : QStringLiteral(". ");
    const QString cityPhrase =
        switches.city ? QString(QStringLiteral("in ") % values.city) : QString();

    ReportSections s;
    s.opening = greetingPhrase(greeting) % QStringLiteral(" At ") % formatTime(time) % u' ' %
                cityPhrase % QStringLiteral(", it's ") % TrimSpaces(values.condition) %
                QStringLiteral(" and ") % values.temperature % QStringLiteral(" degrees") % u' ' %
                windPhrase;
    if (switches.forecast)
        s.forecast = QStringLiteral("Today, ") % values.condition %
                     QStringLiteral(" with a high of ") % values.high %
                     QStringLiteral(" degrees and a low of ") % values.low %
                     QStringLiteral(" degrees. ");
    if (switches.atmosphere)
        s.atmosphere = QStringLiteral("Current humidity is ") % values.humidity %
                       QStringLiteral("% with barometric pressure ") % trendWord(values.trend) %
                       QStringLiteral(" at ") % values.pressure % QStringLiteral(". ") %
                       QStringLiteral("Visibility is ") % visibilityPhrase;
    if (switches.sun)
        s.sun = QStringLiteral("Sunrise is at ") % values.sunrise %
                QStringLiteral(" and sunset is at ") % values.sunset % QStringLiteral(". ");
    return s;
}
