#include "feed/FeedOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace feed {
namespace {

constexpr std::size_t kDay = 24 * 60 * 60;
constexpr std::size_t kMany = 100'000'000;

std::string Usage() {
    return std::string("Usage: nimbrel-feed [options]\n"
                       "Answers GET /forecastrss?p=ZIP&u=f|c with a weather feed document made "
                       "from Open-Meteo's\n"
                       "forecast, or from the National Weather Service's when Open-Meteo fails.\n\n"
                       "  --listen HOST:PORT       address to listen on (default ") +
           kDefaultHost + ":" + std::to_string(kDefaultPort) +
           "), unless systemd\n"
           "                           hands over a listening socket (LISTEN_FDS)\n"
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
           "  --help                   show this text\n\n"
           "Every option with a value can also be set in the environment, named after it:\n"
           "NIMBREL_FEED_UPSTREAM=URL for --upstream URL, NIMBREL_FEED_PER_DAY=N for --per-day N.\n"
           "An empty variable counts as unset, and the command line wins. The system service\n"
           "reads such lines from /etc/default/nimbrel-feed.\n";
}

std::optional<std::size_t> Count(const std::string& text, std::size_t low, std::size_t high) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

bool Number(const std::string& text, std::size_t low, std::size_t high, std::size_t& target) {
    const auto n = Count(text, low, high);
    if (n)
        target = *n;
    return n.has_value();
}

bool Milliseconds(const std::string& text, std::size_t low, std::size_t high,
                  std::chrono::milliseconds& target, std::int64_t scale = 1) {
    const auto n = Count(text, low, high);
    if (n)
        target = std::chrono::milliseconds(static_cast<std::int64_t>(*n) * scale);
    return n.has_value();
}

bool Seconds(const std::string& text, std::chrono::milliseconds& target) {
    return Milliseconds(text, 0, kDay, target, 1000);
}

bool WebAddress(const std::string& text, std::string& target) {
    if (text.rfind("http://", 0) != 0 && text.rfind("https://", 0) != 0)
        return false;
    target = text;
    return true;
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

bool Sources(const std::string& text, std::vector<Source>& target) {
    const auto sources = ParseSources(text);
    if (sources)
        target = *sources;
    return sources.has_value();
}

// It goes into a request header.
bool Contact(const std::string& text, std::string& target) {
    if (text.empty() || text.size() > 200 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c < 127; }))
        return false;
    target = text;
    return true;
}

// Every option that takes a value, once: the command line and the environment both read this.
struct Setting {
    const char* name;
    bool (*apply)(const std::string& value, FeedOptions& options);
};

using O = FeedOptions;
using S = const std::string;
constexpr Setting kSettings[] = {
    {"--listen", [](S& v, O& o) { return ParseListen(v, o); }},
    {"--source", [](S& v, O& o) { return Sources(v, o.service.sources); }},
    {"--upstream", [](S& v, O& o) { return WebAddress(v, o.service.upstream); }},
    {"--nws-upstream", [](S& v, O& o) { return WebAddress(v, o.service.nwsUpstream); }},
    {"--contact", [](S& v, O& o) { return Contact(v, o.service.contact); }},
    {"--upstream-timeout",
     [](S& v, O& o) { return Milliseconds(v, 1, 600000, o.service.upstreamTimeout); }},
    {"--fresh", [](S& v, O& o) { return Seconds(v, o.service.freshFor); }},
    {"--stale", [](S& v, O& o) { return Seconds(v, o.service.staleFor); }},
    {"--retry-after", [](S& v, O& o) { return Seconds(v, o.service.retryAfter); }},
    {"--cache-entries",
     [](S& v, O& o) { return Number(v, 1, 10'000'000, o.service.cacheEntries); }},
    {"--per-minute", [](S& v, O& o) { return Number(v, 0, kMany, o.service.limits.perMinute); }},
    {"--per-hour", [](S& v, O& o) { return Number(v, 0, kMany, o.service.limits.perHour); }},
    {"--per-day", [](S& v, O& o) { return Number(v, 0, kMany, o.service.limits.perDay); }},
    {"--threads", [](S& v, O& o) { return Number(v, 1, 64, o.threads); }},
    {"--connections", [](S& v, O& o) { return Number(v, 1, 1'000'000, o.connections); }},
    {"--client-timeout", [](S& v, O& o) { return Milliseconds(v, 100, 600000, o.clientTimeout); }},
};

const Setting* Find(const std::string& name) {
    const auto found = std::find_if(std::begin(kSettings), std::end(kSettings),
                                    [&](const Setting& s) { return name == s.name; });
    return found == std::end(kSettings) ? nullptr : found;
}

ParsedOptions Error(const std::string& message) {
    return {std::nullopt, "nimbrel-feed: " + message + "\n" + Usage(), 2};
}

} // namespace

std::string EnvironmentName(const std::string& option) {
    std::string name = "NIMBREL_FEED_";
    for (const char c : option.substr(option.find_first_not_of('-')))
        name += c == '-' ? '_' : static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return name;
}

ParsedOptions ParseFeedOptions(const std::vector<std::string>& arguments,
                               const Environment& environment) {
    FeedOptions options;
    for (const Setting& setting : kSettings) {
        const std::string variable = EnvironmentName(setting.name);
        const std::optional<std::string> value = environment ? environment(variable) : std::nullopt;
        if (value && !value->empty() && !setting.apply(*value, options))
            return Error("bad value for " + variable + ": " + *value);
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h")
            return {std::nullopt, Usage(), 0};
        if (name == "--version")
            return {std::nullopt, std::string("nimbrel-feed ") + kVersion + "\n", 0};
        const Setting* setting = Find(name);
        if (!setting)
            return Error("unknown option: " + name);
        if (i + 1 >= arguments.size())
            return Error("missing value: " + name);
        const std::string& value = arguments[++i];
        if (!setting->apply(value, options))
            return Error("bad value for " + name + ": " + value);
    }
    return {options, {}, 0};
}

} // namespace feed
