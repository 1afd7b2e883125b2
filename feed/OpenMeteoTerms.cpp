#include "feed/OpenMeteoTerms.h"

#include <algorithm>

namespace feed {

unsigned CallWeightTenths(std::string_view pathAndQuery) {
    const std::size_t mark = pathAndQuery.find('?');
    std::string_view query =
        mark == std::string_view::npos ? std::string_view() : pathAndQuery.substr(mark + 1);
    unsigned variables = 0;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view parameter = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        const std::size_t equals = parameter.find('=');
        const std::string_view name = parameter.substr(0, equals);
        if (equals == std::string_view::npos ||
            (name != "current" && name != "hourly" && name != "daily" && name != "minutely_15"))
            continue;
        std::string_view list = parameter.substr(equals + 1);
        while (!list.empty()) {
            const std::size_t comma = std::min(list.find(','), list.size());
            variables += comma > 0 ? 1 : 0;
            list.remove_prefix(std::min(comma + 1, list.size()));
        }
    }
    return std::max(10u, variables);
}

std::chrono::system_clock::time_point BackOffEnd(std::string_view reason,
                                                 std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    if (reason.find("Daily") != std::string_view::npos)
        return floor<days>(now) + days(1);
    if (reason.find("Hourly") != std::string_view::npos)
        return floor<hours>(now) + hours(1);
    if (reason.find("Minutely") != std::string_view::npos)
        return floor<minutes>(now) + minutes(1);
    return now + minutes(1);
}

} // namespace feed
