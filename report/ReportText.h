#pragma once

#include <QString>
#include <QTime>

// The twelve values a report is made of, as extracted from the feed, in request order.
struct FeedValues {
    QString city;
    QString condition;
    QString temperature;
    QString windSpeed;
    QString low;
    QString high;
    QString humidity;
    QString visibility;
    QString pressure;
    QString trend;
    QString sunrise;
    QString sunset;
};

// Extracts the twelve values with GetAttrValue, each from the whole document.
FeedValues ExtractFeedValues(const QString& document);

// Which report sections are on: each true only when its box is fully checked.
struct SectionSwitches {
    bool wind = true;       // Check1 "Wind Conditions"
    bool forecast = true;   // Check2 "Today's Forecast"
    bool city = true;       // Check3 "City Location"
    bool sun = true;        // Check4 "Sunrise / Sunset"
    bool atmosphere = true; // Check5 "Humidty / Pressure  / Vis."
};

// The time of the report, with the locale's before-noon and after-noon designators.
struct ReportTime {
    QTime time;
    QString amDesignator = QStringLiteral("AM");
    QString pmDesignator = QStringLiteral("PM");
};

struct ReportSections {
    QString opening;
    QString forecast;
    QString atmosphere;
    QString sun;

    // What txtWeather shows: the four sections joined.
    QString displayed() const { return opening + forecast + atmosphere + sun; }
};

// The report's text, every value placed as extracted. unitLetter "c" gives metric words, any
// other letter (normally "f") the standard ones; an invalid time reads as midnight.
ReportSections ComposeReport(const FeedValues& values, const QString& unitLetter,
                             const SectionSwitches& switches, const QString& greeting,
                             const ReportTime& time);
