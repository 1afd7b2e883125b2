// A loopback stand-in for Open-Meteo's forecast API for measurements: the same fixed answer to
// every place, in the units asked for. Usage: feed-upstream-double PORT
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Answer(bool fahrenheit) {
    const std::string t = fahrenheit ? "\"°F\"" : "\"°C\"";
    return std::string(
               "{\"latitude\":34.1,\"longitude\":-118.4,\"utc_offset_seconds\":-25200,"
               "\"timezone\":\"America/Los_Angeles\",\"current_units\":{\"time\":\"iso8601\","
               "\"temperature_2m\":") +
           t + ",\"relative_humidity_2m\":\"%\",\"weather_code\":\"wmo code\",\"wind_speed_10m\":" +
           (fahrenheit ? "\"mp/h\"" : "\"km/h\"") +
           ",\"pressure_msl\":\"hPa\",\"visibility\":" + (fahrenheit ? "\"ft\"" : "\"m\"") +
           "},\"current\":{\"time\":\"2024-06-01T14:00\",\"temperature_2m\":" +
           (fahrenheit ? "57.9" : "14.4") +
           ",\"relative_humidity_2m\":72,\"weather_code\":2,\"wind_speed_10m\":" +
           (fahrenheit ? "5.0" : "8.0") +
           ",\"pressure_msl\":1013.2,\"visibility\":" + (fahrenheit ? "52800.0" : "16093.4") +
           "},\"hourly_units\":{\"time\":\"iso8601\",\"pressure_msl\":\"hPa\"},\"hourly\":{"
           "\"time\":[\"2024-06-01T11:00\",\"2024-06-01T12:00\",\"2024-06-01T13:00\","
           "\"2024-06-01T14:00\"],\"pressure_msl\":[1012.0,1012.4,1012.8,1013.2]},"
           "\"daily_units\":{\"time\":\"iso8601\",\"temperature_2m_max\":" +
           t + ",\"temperature_2m_min\":" + t +
           ",\"sunrise\":\"iso8601\",\"sunset\":\"iso8601\"},\"daily\":{\"time\":[\"2024-06-01\"],"
           "\"temperature_2m_max\":[" +
           (fahrenheit ? "68.0" : "20.0") + "],\"temperature_2m_min\":[" +
           (fahrenheit ? "50.0" : "10.0") +
           "],\"sunrise\":[\"2024-06-01T05:42\"],\"sunset\":[\"2024-06-01T20:04\"]}}";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: feed-upstream-double PORT\n", stderr);
        return 2;
    }
    const std::string standard = Answer(true);
    const std::string metric = Answer(false);
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.Get("/v1/forecast", [&](const httplib::Request& req, httplib::Response& res) {
        const bool f = req.get_param_value("temperature_unit") == "fahrenheit";
        res.set_content(f ? standard : metric, "application/json");
    });
    return server.listen("127.0.0.1", std::atoi(argv[1])) ? 0 : 1;
}
