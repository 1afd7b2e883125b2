// A loopback feed server for the end-to-end runs: answers /forecastrss with the document in a
// file, and logs each request target on standard output, with the time it came in (seconds since
// the epoch, to the millisecond).
#include "tests/support/StopSignals.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <chrono>
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
    std::string body = document.str();

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(argv[2])));
    if (::inet_pton(AF_INET, argv[1], &address.sin_addr) != 1) {
        std::cerr << "serve_feed: not an IPv4 address: " << argv[1] << '\n';
        return 2;
    }
    const StopSignals stopSignals;

    const MHD_AccessHandlerCallback answer = [](void* text, MHD_Connection* connection,
                                                const char* url, const char*, const char*,
                                                const char*, std::size_t*, void**) {
        if (std::string(url) != "/forecastrss")
            return MHD_NO;
        auto* feed = static_cast<std::string*>(text);
        MHD_Response* response =
            MHD_create_response_from_buffer(feed->size(), feed->data(), MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/xml; charset=utf-8");
        const MHD_Result queued = MHD_queue_response(connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        return queued;
    };
    const auto logTarget = [](void*, const char* target, MHD_Connection*) -> void* {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        std::cout << target << ' ' << now.count() / 1000 << '.' << std::setw(3) << std::setfill('0')
                  << now.count() % 1000 << std::endl;
        return nullptr;
    };
    MHD_Daemon* daemon =
        MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr, answer, &body,
                         MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_URI_LOG_CALLBACK,
                         static_cast<void* (*)(void*, const char*, MHD_Connection*)>(logTarget),
                         nullptr, MHD_OPTION_END);
    if (!daemon) {
        std::cerr << "serve_feed: cannot listen on " << argv[1] << ':' << argv[2] << '\n';
        return 1;
    }
    stopSignals.wait();
    MHD_stop_daemon(daemon);
    return 0;
}
