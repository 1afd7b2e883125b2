#pragma once

#include <QByteArray>
#include <QString>

// Feed documents as the feed service writes them: an RSS document whose values sit in attributes,
// with the service's own spacing. The keys the report reads appear first where the report wants
// them: "text=" on the current condition, "low=" and "high=" on today's forecast; "temperature=",
// " pressure=" and " speed=" of the units element must not be taken for the values.
namespace FeedDocuments {

struct Values {
    QString city = QStringLiteral("Los Angeles");
    QString region = QStringLiteral("CA");
    QString zip = QStringLiteral("90012");
    QString condition = QStringLiteral("Fair");
    QString temperature = QStringLiteral("58");
    QString windSpeed = QStringLiteral("5");
    QString low = QStringLiteral("50");
    QString high = QStringLiteral("68");
    QString humidity = QStringLiteral("72");
    QString visibility = QStringLiteral("10");
    QString pressure = QStringLiteral("30.1");
    QString rising = QStringLiteral("1");
    QString sunrise = QStringLiteral("6:52 am");
    QString sunset = QStringLiteral("5:03 pm");
    bool metric = false;
};

// The metric answer for the same place: what "&u=c" brings.
Values metricValues();

// A whole feed document carrying the values.
QByteArray document(const Values& values = {});

// What the service answers for a ZIP code it does not know.
QByteArray notFound();

// The document with the first occurrence of key="..." taken out, as when the service leaves a
// value out.
QByteArray without(QByteArray doc, const QByteArray& key);

} // namespace FeedDocuments
