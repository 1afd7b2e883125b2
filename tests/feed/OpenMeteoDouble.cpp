#include "OpenMeteoDouble.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <microhttpd.h>
#include <netinet/in.h>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

double Rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

bool Asks(const std::string& query, const std::string& parameter) {
    return ("&" + query + "&").find("&" + parameter + "&") != std::string::npos;
}

// "2024-06-01T14:00" moved by whole hours.
QString HoursFrom(const std::string& now, int hours) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::sscanf(now.c_str(), "%d-%d-%dT%d:%d", &y, &mo, &d, &h, &mi);
    const QDateTime t = QDateTime(QDate(y, mo, d), QTime(h, 0), Qt::UTC).addSecs(hours * 3600);
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
}

} // namespace

QJsonObject OpenMeteoAnswer(const DoubleWeather& w, const std::string& query) {
    const bool fahrenheit = Asks(query, "temperature_unit=fahrenheit");
    const bool mph = Asks(query, "wind_speed_unit=mph");
    const auto temperature = [&](double c) { return Rounded(fahrenheit ? c * 9 / 5 + 32 : c, 1); };
    const QString temperatureUnit = fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C");

    QJsonObject current{
        {QStringLiteral("time"), QString::fromStdString(w.now)},
        {QStringLiteral("interval"), 900},
        {QStringLiteral("temperature_2m"), temperature(w.temperatureC)},
        {QStringLiteral("relative_humidity_2m"), w.humidity},
        {QStringLiteral("weather_code"), w.weatherCode},
        {QStringLiteral("wind_speed_10m"), Rounded(mph ? w.windKmh / 1.609344 : w.windKmh, 1)},
        {QStringLiteral("pressure_msl"), Rounded(w.pressureHpa, 1)},
        // Open-Meteo gives feet once imperial units are asked for.
        {QStringLiteral("visibility"),
         Rounded(fahrenheit ? w.visibilityM / 0.3048 : w.visibilityM, 2)},
    };
    const QJsonObject currentUnits{
        {QStringLiteral("time"), QStringLiteral("iso8601")},
        {QStringLiteral("interval"), QStringLiteral("seconds")},
        {QStringLiteral("temperature_2m"), temperatureUnit},
        {QStringLiteral("relative_humidity_2m"), QStringLiteral("%")},
        {QStringLiteral("weather_code"), QStringLiteral("wmo code")},
        {QStringLiteral("wind_speed_10m"), mph ? QStringLiteral("mp/h") : QStringLiteral("km/h")},
        {QStringLiteral("pressure_msl"), QStringLiteral("hPa")},
        {QStringLiteral("visibility"), fahrenheit ? QStringLiteral("ft") : QStringLiteral("m")},
    };
    QJsonArray hourlyTimes, hourlyPressure;
    for (int i = -3; i <= 0; ++i) {
        hourlyTimes.append(HoursFrom(w.now, i));
        hourlyPressure.append(
            Rounded(w.pressureHpa3hAgo + (w.pressureHpa - w.pressureHpa3hAgo) * (i + 3) / 3, 1));
    }
    const QString today = QString::fromStdString(w.now.substr(0, 10));
    return QJsonObject{
        {QStringLiteral("latitude"), 34.1},
        {QStringLiteral("longitude"), -118.4},
        {QStringLiteral("generationtime_ms"), 0.05},
        {QStringLiteral("utc_offset_seconds"), w.utcOffsetSeconds},
        {QStringLiteral("timezone"), QStringLiteral("America/Los_Angeles")},
        {QStringLiteral("timezone_abbreviation"), QStringLiteral("PDT")},
        {QStringLiteral("elevation"), 80.0},
        {QStringLiteral("current_units"), currentUnits},
        {QStringLiteral("current"), current},
        {QStringLiteral("hourly_units"),
         QJsonObject{{QStringLiteral("time"), QStringLiteral("iso8601")},
                     {QStringLiteral("pressure_msl"), QStringLiteral("hPa")}}},
        {QStringLiteral("hourly"), QJsonObject{{QStringLiteral("time"), hourlyTimes},
                                               {QStringLiteral("pressure_msl"), hourlyPressure}}},
        {QStringLiteral("daily_units"),
         QJsonObject{{QStringLiteral("time"), QStringLiteral("iso8601")},
                     {QStringLiteral("temperature_2m_max"), temperatureUnit},
                     {QStringLiteral("temperature_2m_min"), temperatureUnit},
                     {QStringLiteral("sunrise"), QStringLiteral("iso8601")},
                     {QStringLiteral("sunset"), QStringLiteral("iso8601")}}},
        {QStringLiteral("daily"),
         QJsonObject{{QStringLiteral("time"), QJsonArray{today}},
                     {QStringLiteral("temperature_2m_max"), QJsonArray{temperature(w.maxC)}},
                     {QStringLiteral("temperature_2m_min"), QJsonArray{temperature(w.minC)}},
                     {QStringLiteral("sunrise"), QJsonArray{QString::fromStdString(w.sunrise)}},
                     {QStringLiteral("sunset"), QJsonArray{QString::fromStdString(w.sunset)}}}},
    };
}

OpenMeteoDouble::OpenMeteoDouble(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const MHD_AccessHandlerCallback handler = [](void* self, MHD_Connection* connection,
                                                 const char*, const char*, const char*, const char*,
                                                 std::size_t*, void** target) {
        const std::string& raw = *static_cast<std::string*>(*target);
        return static_cast<OpenMeteoDouble*>(self)->answer(connection, raw) ? MHD_YES : MHD_NO;
    };
    // The raw target, as sent.
    const auto keepTarget = [](void*, const char* uri, MHD_Connection*) -> void* {
        return new std::string(uri);
    };
    const MHD_RequestCompletedCallback dropTarget = [](void*, MHD_Connection*, void** target,
                                                       MHD_RequestTerminationCode) {
        delete static_cast<std::string*>(*target);
    };
    // A thread per connection, so that a slow answer may simply wait.
    m_daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr,
        handler, this, MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_URI_LOG_CALLBACK,
        static_cast<void* (*)(void*, const char*, MHD_Connection*)>(keepTarget), nullptr,
        MHD_OPTION_NOTIFY_COMPLETED, dropTarget, nullptr, MHD_OPTION_END);
    if (m_daemon)
        m_port = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
}

OpenMeteoDouble::~OpenMeteoDouble() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopping.notify_all();
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
}

bool OpenMeteoDouble::answer(MHD_Connection* connection, const std::string& target) {
    const std::size_t mark = target.find('?');
    const std::string path = target.substr(0, mark);
    const std::string query = mark == std::string::npos ? std::string() : target.substr(mark + 1);
    DoubleWeather weather;
    std::function<void(QJsonObject&)> tweak;
    Mode mode = Mode::Answer;
    std::optional<Route> route;
    {
        std::unique_lock lock(m_mutex);
        m_requests.push_back(target);
        const char* agent =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_USER_AGENT);
        m_userAgent = agent ? agent : "";
        if (const auto it = m_routes.find(path); it != m_routes.end()) {
            route = it->second;
            if (it->second.failFirst > 0) {
                --it->second.failFirst;
                route->status = 500;
            }
        }
        weather = m_weather;
        tweak = m_tweak;
        mode = m_mode;
        if (mode == Mode::Slow && m_stopping.wait_for(lock, m_delay, [this] { return m_stopped; }))
            return false;
    }
    int status = 200;
    std::string body;
    if (route) {
        status = route->status;
        body = route->body;
    } else if (path != "/v1/forecast") {
        status = 404;
    } else if (mode == Mode::ServerError) {
        status = 500;
        body = "{\"error\":true,\"reason\":\"Internal error\"}";
    } else if (mode == Mode::Garbage) {
        body = "<html>Gateway timeout</html>";
    } else if (mode == Mode::Recorded) {
        const std::lock_guard lock(m_mutex);
        status = m_recordedStatus;
        body = m_recordedBody;
    } else {
        QJsonObject answer = OpenMeteoAnswer(weather, query);
        if (tweak)
            tweak(answer);
        body = QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
    }
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), body.data(), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            "application/json; charset=utf-8");
    if (route && !route->location.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, route->location.c_str());
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued == MHD_YES;
}

std::string OpenMeteoDouble::baseAddress() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void OpenMeteoDouble::setWeather(const DoubleWeather& weather) {
    const std::lock_guard lock(m_mutex);
    m_weather = weather;
}

void OpenMeteoDouble::setTweak(std::function<void(QJsonObject&)> tweak) {
    const std::lock_guard lock(m_mutex);
    m_tweak = std::move(tweak);
}

void OpenMeteoDouble::setMode(Mode mode) {
    const std::lock_guard lock(m_mutex);
    m_mode = mode;
}

void OpenMeteoDouble::serve(int status, std::string body) {
    const std::lock_guard lock(m_mutex);
    m_mode = Mode::Recorded;
    m_recordedStatus = status;
    m_recordedBody = std::move(body);
}

void OpenMeteoDouble::setDelay(std::chrono::milliseconds delay) {
    const std::lock_guard lock(m_mutex);
    m_delay = delay;
}

void OpenMeteoDouble::setRoute(const std::string& path, Route route) {
    const std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(route);
}

std::string OpenMeteoDouble::lastUserAgent() const {
    const std::lock_guard lock(m_mutex);
    return m_userAgent;
}

std::vector<std::string> OpenMeteoDouble::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}
