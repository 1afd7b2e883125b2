#pragma once

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <strings.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// HTTP spoken by hand on loopback, so that a test can send what no client library would.
namespace rawhttp {

struct Answer {
    int status = 0;
    std::string head; // status line and headers
    std::string body;

    std::string header(const char* name) const {
        const std::string key = std::string("\r\n") + name + ":";
        for (std::size_t at = head.find("\r\n"); at != std::string::npos;
             at = head.find("\r\n", at + 2)) {
            if (::strncasecmp(head.c_str() + at, key.c_str(), key.size()) != 0)
                continue;
            const std::size_t from = head.find_first_not_of(' ', at + key.size());
            return head.substr(from, head.find("\r\n", from) - from);
        }
        return {};
    }
};

// A connected socket to 127.0.0.1:port, or -1.
inline int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// Sends all of text; false once the peer has gone.
inline bool Send(int fd, const std::string& text) {
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads until the peer closes or the time is up; nothing when no whole head came.
inline std::optional<Answer> Receive(int fd, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    std::string all;
    char buffer[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        all.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.", 0) != 0 || end == std::string::npos)
        return std::nullopt;
    return Answer{std::atoi(all.c_str() + 9), all.substr(0, end), all.substr(end + 4)};
}

inline std::optional<Answer>
Exchange(int port, const std::string& request,
         std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const int fd = Connect(port);
    if (fd < 0)
        return std::nullopt;
    std::optional<Answer> answer = Send(fd, request) ? Receive(fd, timeout) : std::nullopt;
    ::close(fd);
    return answer;
}

inline std::string Request(const std::string& target, const std::string& method = "GET") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

} // namespace rawhttp
