#include "feed/ListenSocket.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace feed {

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
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    const in_port_t boundPort = bound.ss_family == AF_INET6
                                    ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(&bound)->sin_port;
    return {fd, ntohs(boundPort), {}};
}

} // namespace feed
