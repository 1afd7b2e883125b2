#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace feed {

struct Place {
    std::uint32_t zip = 0;
    std::string city;
    char state[3] = {}; // two letters: forty thousand places, so no string of its own
    double latitude = 0;
    double longitude = 0;

    std::string zipText() const;
};

// The five digits of a ZIP code as typed: "90210", or the first part of "90210-1234". Anything
// else gives no value.
std::optional<std::uint32_t> ParseZip(std::string_view text);

// US ZIP codes with their place names and coordinates, looked up offline.
class ZipTable final {
public:
    // Lines "zip<TAB>city<TAB>state<TAB>latitude<TAB>longitude"; lines starting with '#' and
    // lines that do not fit are skipped.
    static ZipTable FromText(std::string_view text);
    // The table built into the program (see feed/tools/make-zip-table).
    static const ZipTable& BuiltIn();

    const Place* find(std::uint32_t zip) const;
    std::size_t size() const { return m_places.size(); }
    const std::vector<Place>& places() const { return m_places; }

private:
    std::vector<Place> m_places; // sorted by zip
};

} // namespace feed
