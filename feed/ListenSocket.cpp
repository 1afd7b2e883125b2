#include "feed/ListenSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace feed {
namespace {

int BoundPort(int fd) {
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    const in_port_t port = bound.ss_family == AF_INET6
                               ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port;
    return ntohs(port);
}

int SocketOption(int fd, int name) {
    int value = 0;
    socklen_t length = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, name, &value, &length) == 0 ? value : -1;
}

} // namespace

ListenSocket OpenListenSocket(const std::string& host, int port, int backlog) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0)
        return {-1, 0, "cannot listen on " + where + ": " + ::gai_strerror(lookup)};
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);

    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            found->ai_protocol);
    if (fd < 0)
        return {-1, 0, "cannot listen on " + where + ": " + std::strerror(errno)};
    const int on = 1;
    // Lets a restarted service bind while old connections linger in TIME_WAIT; unlike
    // SO_REUSEPORT it never lets two sockets listen on one port.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (found->ai_family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, backlog) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EADDRINUSE)
            return {-1, 0, where + " is in use: another nimbrel-feed (or another server) holds it"};
        return {-1, 0, "cannot listen on " + where + ": " + std::strerror(error)};
    }
    return {fd, BoundPort(fd), {}};
}

std::optional<ListenSocket> TakeHandedOverSocket() {
    // The first socket handed over is descriptor 3 (SD_LISTEN_FDS_START).
    constexpr int kFirst = 3;
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    // Variables meant for another process (a parent that was activated) are not ours.
    if (!pid || !count || std::to_string(::getpid()) != pid)
        return std::nullopt;
    const std::string sockets = count;
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (sockets != "1")
        return ListenSocket{-1, 0, "systemd handed over " + sockets + " sockets; one is served"};
    if (SocketOption(kFirst, SO_TYPE) != SOCK_STREAM || SocketOption(kFirst, SO_ACCEPTCONN) != 1)
        return ListenSocket{-1, 0, "the socket systemd handed over is not a listening stream"};
    ::fcntl(kFirst, F_SETFD, FD_CLOEXEC);
    ::fcntl(kFirst, F_SETFL, ::fcntl(kFirst, F_GETFL) | O_NONBLOCK);
    return DescribeListenSocket(kFirst);
}

ListenSocket DescribeListenSocket(int fd) {
    return {fd, BoundPort(fd), {}};
}

} // namespace feed
