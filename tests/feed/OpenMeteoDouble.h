#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMetaType>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

// The weather at one moment, in Open-Meteo's base units; the double answers in the units a
// request asks for, as the real service does.
struct DoubleWeather {
    std::string now = "2024-06-01T14:00"; // local time of the current values
    int utcOffsetSeconds = -25200;
    double temperatureC = 14.4;
    double humidity = 72;
    int weatherCode = 0;
    double windKmh = 8;
    double pressureHpa = 1013.2;
    double pressureHpa3hAgo = 1012.0; // the hourly values run evenly from this to pressureHpa
    double visibilityM = 16093.44;
    double maxC = 20;
    double minC = 10;
    std::string sunrise = "2024-06-01T06:52";
    std::string sunset = "2024-06-01T17:03";
};

// Open-Meteo's forecast answer for a query, shaped as its documentation shows: current and
// current_units, hourly and hourly_units (past_hours=3 and forecast_hours=1), daily and
// daily_units, utc_offset_seconds. `query` is the request's query string.
QJsonObject OpenMeteoAnswer(const DoubleWeather& weather, const std::string& query);

// A change made to an answer, for the test tables.
using Tweak = std::function<void(QJsonObject&)>;
Q_DECLARE_METATYPE(Tweak)

// Sets root[section][name], or its first element when the member is a list.
inline Tweak Set(const char* section, const char* name, const QJsonValue& value) {
    return [=](QJsonObject& root) {
        QJsonObject part = root.value(QLatin1String(section)).toObject();
        const QJsonValue old = part.value(QLatin1String(name));
        if (old.isArray() && !value.isArray()) {
            QJsonArray list = old.toArray();
            list[0] = value;
            part[QLatin1String(name)] = list;
        } else {
            part[QLatin1String(name)] = value;
        }
        root[QLatin1String(section)] = part;
    };
}

inline Tweak Remove(const char* section) {
    return [=](QJsonObject& root) { root.remove(QLatin1String(section)); };
}

inline Tweak Both(Tweak a, Tweak b) {
    return [=](QJsonObject& root) {
        a(root);
        b(root);
    };
}

// A local stand-in for the Open-Meteo forecast API on 127.0.0.1 (port 0: any free one), for the
// tests and, as feed-upstream-double, for the measurements and the end-to-end run.
class OpenMeteoDouble final {
public:
    // Recorded: the body given to serve(), with its status, whatever was asked.
    enum class Mode { Answer, ServerError, Garbage, Slow, Recorded };

    explicit OpenMeteoDouble(int port = 0);
    ~OpenMeteoDouble();
    OpenMeteoDouble(const OpenMeteoDouble&) = delete;
    OpenMeteoDouble& operator=(const OpenMeteoDouble&) = delete;

    bool listening() const { return m_daemon != nullptr; }

    std::string baseAddress() const;

    void setWeather(const DoubleWeather& weather);
    // Changes each answer after it is built (nulls, other units, missing parts).
    void setTweak(std::function<void(QJsonObject&)> tweak);
    void setMode(Mode mode);
    void setDelay(std::chrono::milliseconds delay);
    // Serves `body` with `status` to every request from now on (a recorded real answer, or a
    // refusal).
    void serve(int status, std::string body);

    // Answers a path (without the query) with a fixed answer instead, for other services' APIs;
    // the first `failFirst` requests get a 500.
    struct Route {
        int status = 200;
        std::string body;
        std::string location; // for a redirect
        int failFirst = 0;
    };
    void setRoute(const std::string& path, Route route);
    std::string lastUserAgent() const;

    // Path and query of every request so far.
    std::vector<std::string> requests() const;
    std::size_t requestCount() const { return requests().size(); }

private:
    bool answer(MHD_Connection* connection, const std::string& target);

    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    DoubleWeather m_weather;
    std::function<void(QJsonObject&)> m_tweak;
    Mode m_mode = Mode::Answer;
    std::chrono::milliseconds m_delay{0};
    int m_recordedStatus = 200;
    std::string m_recordedBody;
    std::vector<std::string> m_requests;
    std::map<std::string, Route> m_routes;
    std::string m_userAgent;
};
