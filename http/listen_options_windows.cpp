#include "http/listen_options.h"

namespace http::server {

// On Windows, SO_REUSEADDR lets another process bind the same port and steal
// connections, so the listener does not set it.
bool reuse_address_on_listen() {
  return false;
}

}  // namespace http::server
