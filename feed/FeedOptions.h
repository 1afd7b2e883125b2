#pragma once

#include "feed/FeedService.h"

#include <optional>
#include <string>
#include <vector>

namespace feed {

struct FeedOptions {
    std::string host = "127.0.0.1";
    int port = 8461;
    std::size_t threads = 32;
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
