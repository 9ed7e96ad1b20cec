// The bounds that the service keeps: the values app/main.cpp passes to the server.
#pragma once

#include <chrono>
#include <cstddef>

namespace http::server::limits {

// Far above any head that a browser sends for these short URIs.
inline constexpr std::size_t max_head_size = 64 * 1024;
inline constexpr std::chrono::seconds head_timeout{30};
// Long enough for a client to read a 25 KB readout and close; short enough that
// a client which keeps sending cannot hold a descriptor for long.
inline constexpr std::chrono::seconds linger_timeout{2};
inline constexpr std::size_t max_connections = 512;
inline constexpr std::chrono::milliseconds accept_retry_delay{100};

}  // namespace http::server::limits
