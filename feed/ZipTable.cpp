#include "feed/ZipTable.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace feed {
namespace {

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

std::optional<double> Coordinate(std::string_view text, double limit) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        std::fabs(value) > limit)
        return std::nullopt;
    return value;
}

// The city goes into a double-quoted attribute read by plain text search.
bool SafeCity(std::string_view city) {
    return !city.empty() && city.find_first_of("\"<>&=") == std::string_view::npos;
}

} // namespace

std::string Place::zipText() const {
    char text[8];
    std::snprintf(text, sizeof text, "%05u", static_cast<unsigned>(zip % 100000));
    return text;
}

std::optional<std::uint32_t> ParseZip(std::string_view text) {
    if (text.size() == 10 && text[5] == '-') {
        const std::string_view plusFour = text.substr(6);
        if (!std::all_of(plusFour.begin(), plusFour.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        text = text.substr(0, 5);
    } else if (text.size() != 5) {
        return std::nullopt;
    }
    std::uint32_t zip = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        zip = zip * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return zip;
}

ZipTable ZipTable::FromText(std::string_view text) {
    ZipTable table;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto fields = SplitTabs(line);
        if (fields.size() != 5)
            continue;
        const auto zip = ParseZip(fields[0]);
        const auto lat = Coordinate(fields[3], 90);
        const auto lon = Coordinate(fields[4], 180);
        if (fields[0].size() != 5 || !zip || !lat || !lon || !SafeCity(fields[1]) ||
            fields[2].size() > 2)
            continue;
        Place& place = table.m_places.emplace_back();
        place.zip = *zip;
        place.city = std::string(fields[1]);
        fields[2].copy(place.state, 2);
        place.latitude = *lat;
        place.longitude = *lon;
    }
    std::stable_sort(table.m_places.begin(), table.m_places.end(),
                     [](const Place& a, const Place& b) { return a.zip < b.zip; });
    table.m_places.erase(std::unique(table.m_places.begin(), table.m_places.end(),
                                     [](const Place& a, const Place& b) { return a.zip == b.zip; }),
                         table.m_places.end());
    return table;
}

const ZipTable& ZipTable::BuiltIn() {
    static const ZipTable table = [] {
        QFile file(QStringLiteral(":/nimbrel-feed/zipcodes.tsv"));
        if (!file.open(QIODevice::ReadOnly))
            return ZipTable();
        const QByteArray bytes = file.readAll();
        return FromText(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }();
    return table;
}

const Place* ZipTable::find(std::uint32_t zip) const {
    const auto it = std::lower_bound(m_places.begin(), m_places.end(), zip,
                                     [](const Place& p, std::uint32_t z) { return p.zip < z; });
    return it != m_places.end() && it->zip == zip ? &*it : nullptr;
}

} // namespace feed
