#include "tests/support/FeedDocuments.h"

namespace FeedDocuments {

Values metricValues() {
    Values v;
    v.temperature = QStringLiteral("14");
    v.windSpeed = QStringLiteral("8");
    v.low = QStringLiteral("10");
    v.high = QStringLiteral("20");
    v.visibility = QStringLiteral("16");
    v.pressure = QStringLiteral("998.2");
    v.rising = QStringLiteral("0");
    v.metric = true;
    return v;
}

QByteArray document(const Values& v) {
    const QString units =
        v.metric ? QStringLiteral(R"(temperature="C" distance="km" pressure="mb" speed="km/h")")
                 : QStringLiteral(R"(temperature="F" distance="mi" pressure="in" speed="mph")");
    const QString text = QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:yweather="http://xml.weather.yahoo.com/ns/rss/1.0" xmlns:geo="http://www.w3.org/2003/01/geo/wgs84_pos#">
<channel>
<title>Weather - %1, %2</title>
<link>http://127.0.0.1/forecastrss?p=%3</link>
<description>Weather for %1, %2</description>
<language>en-us</language>
<lastBuildDate>Mon, 07 Dec 2026 6:47 am PST</lastBuildDate>
<ttl>60</ttl>
<yweather:location city="%1" region="%2"   country="United States"/>
<yweather:units %4/>
<yweather:wind chill="%5"   direction="0"   speed="%6" />
<yweather:atmosphere humidity="%7"  visibility="%8"  pressure="%9"  rising="%10" />
<yweather:astronomy sunrise="%11"   sunset="%12"/>
<image>
<title>Weather</title>
<width>142</width>
<height>18</height>
</image>
<item>
<title>Conditions for %1, %2 at 6:47 am PST</title>
<geo:lat>34.06</geo:lat>
<geo:long>-118.24</geo:long>
<pubDate>Mon, 07 Dec 2026 6:47 am PST</pubDate>
<yweather:condition  text="%13"  code="34"  temp="%5"  date="Mon, 07 Dec 2026 6:47 am PST" />
<description><![CDATA[
<b>Current Conditions:</b><br />
%13, %5<br />
<b>Forecast:</b><br />
Mon - %13. High: %14 Low: %15<br />
Tue - Partly Cloudy. High: 71 Low: 52<br />
]]></description>
<yweather:forecast day="Mon" date="7 Dec 2026" low="%15" high="%14" text="%13" code="34" />
<yweather:forecast day="Tue" date="8 Dec 2026" low="52" high="71" text="Partly Cloudy" code="30" />
<guid isPermaLink="false">%3_2026_12_07_6_47_PST</guid>
</item>
</channel>
</rss>
)");
    return text
        .arg(v.city, v.region, v.zip, units, v.temperature, v.windSpeed, v.humidity, v.visibility,
             v.pressure)
        .arg(v.rising, v.sunrise, v.sunset, v.condition, v.high, v.low)
        .toUtf8();
}

QByteArray notFound() {
    return QByteArrayLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:yweather="http://xml.weather.yahoo.com/ns/rss/1.0">
<channel>
<title>Weather - Error</title>
<description>Weather Error</description>
<item>
<title>City not found</title>
<description>Invalid Input /forecastrss?p=00000</description>
</item>
</channel>
</rss>
)");
}

QByteArray without(QByteArray doc, const QByteArray& key) {
    const qsizetype start = doc.indexOf(key + '"');
    if (start < 0)
        return doc;
    const qsizetype close = doc.indexOf('"', start + key.size() + 1);
    return doc.remove(start, close + 1 - start);
}

} // namespace FeedDocuments
