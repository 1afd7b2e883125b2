#pragma once

#include "feed/FeedBuild.h"
#include "feed/FeedService.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace feed {

struct FeedOptions {
    std::string host = kDefaultHost;
    int port = kDefaultPort;
    // A listening socket to serve instead of host and port (the one systemd handed over).
    int listenFd = -1;
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

// The value of an environment variable, none when it is unset.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;

// The environment variable that sets an option: "--upstream" is NIMBREL_FEED_UPSTREAM.
std::string EnvironmentName(const std::string& option);

// Reads the options from the environment and then from the command line (without the program
// name), so that the command line wins.
ParsedOptions ParseFeedOptions(const std::vector<std::string>& arguments,
                               const Environment& environment = {});

} // namespace feed
