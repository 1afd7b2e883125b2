#include "feed/FeedDocument.h"

#include <cstdio>

namespace feed {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string Coordinate(double value) {
    char text[24];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string Credit(std::string_view text = kCreditText) {
    return std::string(" <credit>") + std::string(text) + "</credit>\n";
}

} // namespace

std::string FeedDocument(const Place& place, const Conditions& c, UnitSystem units,
                         std::string_view credit) {
    const bool standard = units == UnitSystem::Standard;
    std::string d;
    d.reserve(900);
    d += kDeclaration;
    d += "<weather service=\"nimbrel-feed\">\n";
    d += " <location city=\"" + place.city + "\" region=\"" + place.state +
         "\" country=\"US\" zip=\"" + place.zipText() + "\" latitude=\"" +
         Coordinate(place.latitude) + "\" longitude=\"" + Coordinate(place.longitude) + "\"/>\n";
    d += standard ? " <units degrees=\"F\" distance=\"mi\" barometer=\"in\" wind=\"mph\"/>\n"
                  : " <units degrees=\"C\" distance=\"km\" barometer=\"mb\" wind=\"km/h\"/>\n";
    // Blanks before "speed", "visibility" and "pressure" and one before "humidity" are part of
    // the keys.
    d += " <wind  speed=\"" + c.windSpeed + "\"/>\n";
    d += " <atmosphere humidity=\"" + c.humidity + "\"  visibility=\"" + c.visibility +
         "\"  pressure=\"" + c.pressure + "\"  rising=\"" + c.trend + "\"/>\n";
    d += " <astronomy sunrise=\"" + c.sunrise + "\" sunset=\"" + c.sunset + "\"/>\n";
    d += " <condition text=\"" + c.condition + "\" code=\"" + c.code + "\" temp=\"" +
         c.temperature + "\" observed=\"" + c.observed + "\"/>\n";
    d += " <forecast day=\"today\" date=\"" + c.date + "\" low=\"" + c.low + "\" high=\"" + c.high +
         "\"/>\n";
    d += Credit(credit);
    d += "</weather>\n";
    return d;
}

const std::string& NotFoundDocument() {
    static const std::string document = std::string(kDeclaration) +
                                        "<weather service=\"nimbrel-feed\">\n"
                                        " <error>ZIP code " +
                                        std::string(FeedContract::kNotFound) + "</error>\n" +
                                        Credit() + "</weather>\n";
    return document;
}

} // namespace feed
