#pragma once

#include "feed/FeedBuild.h"
#include "feed/FeedService.h"

#include <optional>
#include <string>
#include <vector>

namespace feed {

struct FeedOptions {
    std::string host = kDefaultHost;
    int port = kDefaultPort;
    std::size_t threads = 2; // event loops, each serving many connections
    // Open connections at most; the open-file limit is raised to fit.
    std::size_t connections = 4096;
    // A client must send its whole request within this, and may stay idle this long.
    std::chrono::milliseconds clientTimeout{5000};
    ServiceSettings service;
};

struct ParsedOptions {
    std::optional<FeedOptions> options; // none when the program should stop at once
    std::string message;                // usage or the error, for the terminal
    int exitCode = 0;
};

// Reads the command line (without the program name).
ParsedOptions ParseFeedOptions(const std::vector<std::string>& arguments);

} // namespace feed
