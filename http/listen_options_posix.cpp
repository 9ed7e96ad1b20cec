#include "http/listen_options.h"

namespace http::server {

// On POSIX, SO_REUSEADDR only skips TIME_WAIT; a second listener still fails to bind.
bool reuse_address_on_listen() {
  return true;
}

}  // namespace http::server
