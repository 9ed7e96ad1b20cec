// Where the server listens and the bounds it keeps on its clients.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace http::server {

struct connection_limits {
  // A longer request head gets the stock 400 reply.
  std::size_t max_head_size;
  // A connection that has not sent its whole head by then is closed without a reply.
  std::chrono::milliseconds head_timeout;
  // After the reply, what the client still sends is read and dropped for at
  // most this long before the close, so that unread bytes never make the close
  // a reset that destroys the reply in flight.
  std::chrono::milliseconds linger_timeout;
};

struct server_options {
  std::string address;  // resolved; the first endpoint is used
  std::string port;
  connection_limits connection;
  // Open connections at once. At the cap, the one that has waited longest for
  // its head is closed to make room; with none waiting, the newcomer comes in
  // all the same and accepting pauses until a connection ends.
  std::size_t max_connections;
  // Out of descriptors with nobody to evict: the pause before the next accept.
  std::chrono::milliseconds accept_retry_delay;
};

}  // namespace http::server
