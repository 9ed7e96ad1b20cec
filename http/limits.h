// Bounds on what one client can hold of the server.
#pragma once

#include <chrono>
#include <cstddef>

namespace http::server::limits {

// A longer request head gets the stock 400 reply.
inline constexpr std::size_t max_head_size = 64 * 1024;
// A connection that has not sent its whole head by then is closed without a reply.
inline constexpr std::chrono::seconds head_timeout{30};
// Open connections at once. At the cap, the one that has waited longest for its
// head is closed to make room; with none waiting, accepting pauses.
inline constexpr std::size_t max_connections = 512;

}  // namespace http::server::limits
