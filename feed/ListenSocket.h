#pragma once

#include <optional>
#include <string>

namespace feed {

struct ListenSocket {
    int fd = -1; // -1 when it could not be opened
    int port = 0;
    std::string error; // for the terminal, when fd is -1
};

// A listening TCP socket on host and port (port 0: any free one). The port is held exclusively:
// no SO_REUSEPORT, so a second service on the same port fails here instead of splitting the
// requests (and the caches and the upstream budget) with the first.
ListenSocket OpenListenSocket(const std::string& host, int port, int backlog);

// The listening socket systemd handed over to this process (the LISTEN_FDS protocol), taken
// once: the variables are cleared so that no child takes it too. None when there is none; an
// error (fd -1) when the hand-over cannot be served.
std::optional<ListenSocket> TakeHandedOverSocket();

// The same socket described for a server that serves an open one.
ListenSocket DescribeListenSocket(int fd);

} // namespace feed
