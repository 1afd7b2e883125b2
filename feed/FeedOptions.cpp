#include "feed/FeedOptions.h"

#include <algorithm>
#include <charconv>

namespace feed {
namespace {

std::string Usage() {
    return std::string("Usage: nimbrel-feed [options]\n"
                       "Answers GET /forecastrss?p=ZIP&u=f|c with a weather feed document made "
                       "from Open-Meteo's\n"
                       "forecast, or from the National Weather Service's when Open-Meteo fails.\n\n"
                       "  --listen HOST:PORT       address to listen on (default ") +
           kDefaultHost + ":" + std::to_string(kDefaultPort) +
           ")\n"
           "  --source LIST            weather services in the order asked, the next when one "
           "fails\n"
           "                           (default open-meteo,nws)\n"
           "  --upstream URL           Open-Meteo's base address (default "
           "https://api.open-meteo.com)\n"
           "  --nws-upstream URL       the National Weather Service's base address (default\n"
           "                           https://api.weather.gov)\n"
           "  --contact TEXT           whom the services may write to, in the User-Agent\n"
           "                           (default " +
           std::string(kMaintainer) +
           ")\n"
           "  --upstream-timeout MS    time-out of an upstream call (default 10000); a whole call\n"
           "                           gets three times this\n"
           "  --fresh SECONDS          serve a cached answer this long without asking again "
           "(default "
           "600)\n"
           "  --stale SECONDS          serve a cached answer this old when upstream fails (default "
           "3600)\n"
           "  --retry-after SECONDS    after a failed call, ask again for that place after this\n"
           "                           (default 60)\n"
           "  --cache-entries N        most answers kept (default 10000)\n"
           "  --per-minute N, --per-hour N, --per-day N\n"
           "                           most upstream calls, as Open-Meteo weighs them (default\n"
           "                           540, 4500, 9000); a fifth is kept for places asked for on\n"
           "                           an earlier day\n"
           "  --threads N              event loop threads (default 2)\n"
           "  --connections N          most open connections (default 4096)\n"
           "  --client-timeout MS      a client must send its request within this, and is dropped\n"
           "                           when idle this long (default 5000)\n"
           "  --version                show the version\n"
           "  --help                   show this text\n";
}

std::optional<std::size_t> Count(const std::string& text, std::size_t low, std::size_t high) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

bool ParseListen(const std::string& text, FeedOptions& options) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const auto port = Count(text.substr(colon + 1), 0, 65535);
    if (!port)
        return false;
    options.host = host;
    options.port = static_cast<int>(*port);
    return true;
}

bool IsAddress(const std::string& text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

std::optional<std::vector<Source>> ParseSources(const std::string& text) {
    std::vector<Source> sources;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(',', at), text.size());
        const std::string name = text.substr(at, end - at);
        const Source source = name == "nws" ? Source::Nws : Source::OpenMeteo;
        if ((name != "nws" && name != "open-meteo") ||
            std::find(sources.begin(), sources.end(), source) != sources.end())
            return std::nullopt;
        sources.push_back(source);
        at = end + 1;
    }
    return sources;
}

ParsedOptions Error(const std::string& message) {
    return {std::nullopt, "nimbrel-feed: " + message + "\n" + Usage(), 2};
}

} // namespace

ParsedOptions ParseFeedOptions(const std::vector<std::string>& arguments) {
    constexpr std::size_t kDay = 24 * 60 * 60;
    FeedOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h")
            return {std::nullopt, Usage(), 0};
        if (name == "--version")
            return {std::nullopt, std::string("nimbrel-feed ") + kVersion + "\n", 0};
        if (i + 1 >= arguments.size())
            return Error("unknown option or missing value: " + name);
        const std::string& value = arguments[++i];
        ServiceSettings& s = options.service;
        bool ok = true;
        const auto set = [&](auto& target, std::size_t low, std::size_t high, auto convert) {
            const auto n = Count(value, low, high);
            ok = n.has_value();
            if (n)
                target = convert(*n);
        };
        const auto same = [](std::size_t n) { return n; };
        const auto seconds = [](std::size_t n) {
            return std::chrono::milliseconds(static_cast<std::int64_t>(n) * 1000);
        };
        const auto milliseconds = [](std::size_t n) {
            return std::chrono::milliseconds(static_cast<std::int64_t>(n));
        };
        if (name == "--listen")
            ok = ParseListen(value, options);
        else if (name == "--upstream") {
            ok = IsAddress(value);
            s.upstream = value;
        } else if (name == "--nws-upstream") {
            ok = IsAddress(value);
            s.nwsUpstream = value;
        } else if (name == "--source") {
            const auto sources = ParseSources(value);
            ok = sources.has_value();
            if (sources)
                s.sources = *sources;
        } else if (name == "--contact") {
            // It goes into a request header.
            ok =
                !value.empty() && value.size() <= 200 &&
                std::all_of(value.begin(), value.end(), [](char c) { return c >= ' ' && c < 127; });
            s.contact = value;
        } else if (name == "--upstream-timeout")
            set(s.upstreamTimeout, 1, 600000, milliseconds);
        else if (name == "--fresh")
            set(s.freshFor, 0, kDay, seconds);
        else if (name == "--stale")
            set(s.staleFor, 0, kDay, seconds);
        else if (name == "--retry-after")
            set(s.retryAfter, 0, kDay, seconds);
        else if (name == "--cache-entries")
            set(s.cacheEntries, 1, 10'000'000, same);
        else if (name == "--per-minute")
            set(s.limits.perMinute, 0, 100'000'000, same);
        else if (name == "--per-hour")
            set(s.limits.perHour, 0, 100'000'000, same);
        else if (name == "--per-day")
            set(s.limits.perDay, 0, 100'000'000, same);
        else if (name == "--threads")
            set(options.threads, 1, 64, same);
        else if (name == "--connections")
            set(options.connections, 1, 1'000'000, same);
        else if (name == "--client-timeout")
            set(options.clientTimeout, 100, 600000, milliseconds);
        else
            return Error("unknown option: " + name);
        if (!ok)
            return Error("bad value for " + name + ": " + value);
    }
    return {options, {}, 0};
}

} // namespace feed
