// Durations and addresses as people type them on the command line.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace keeper {

// "30s", "10m", "2h": a positive whole number and one unit.
std::optional<std::chrono::seconds> ParseDuration(const std::string& text);

struct HostPort {
  std::string host;  // without brackets: "::1"
  std::string port;  // decimal digits
};

// "localhost:5001", "127.0.0.1:0", "[::1]:5001".
std::optional<HostPort> ParseHostPort(const std::string& text);

// The host as it appears in a URL: IPv6 addresses in brackets.
std::string UrlHost(const std::string& host);

}  // namespace keeper
