#include "feed/FeedOptions.h"

#include <charconv>

namespace feed {
namespace {

std::string Usage() {
    return std::string("Usage: nimbrel-feed [options]\n"
                       "Answers GET /forecastrss?p=ZIP&u=f|c with a weather feed document made "
                       "from Open-Meteo's\n"
                       "forecast.\n\n"
                       "  --listen HOST:PORT       address to listen on (default ") +
           kDefaultHost + ":" + std::to_string(kDefaultPort) +
           ")\n"
           "  --upstream URL           weather service base address (default "
           "https://api.open-meteo.com)\n"
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
            ok = value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0;
            s.upstream = value;
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
