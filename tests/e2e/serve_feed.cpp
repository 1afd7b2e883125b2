// A loopback feed server for the end-to-end runs: answers /forecastrss with the document in a
// file, and logs each request target on standard output, with the time it came in (seconds since
// the epoch, to the millisecond).
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::cerr << "usage: serve_feed HOST PORT DOCUMENT\n";
        return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    std::stringstream document;
    document << in.rdbuf();
    const std::string body = document.str();

    httplib::Server server;
    server.Get("/forecastrss", [&](const httplib::Request& request, httplib::Response& response) {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        std::cout << request.target << ' ' << now.count() / 1000 << '.' << std::setw(3)
                  << std::setfill('0') << now.count() % 1000 << std::endl;
        response.set_content(body, "text/xml; charset=utf-8");
    });
    if (!server.listen(argv[1], std::stoi(argv[2]))) {
        std::cerr << "serve_feed: cannot listen on " << argv[1] << ':' << argv[2] << '\n';
        return 1;
    }
    return 0;
}
