// Turns a parsed request into a reply, one request at a time.
#pragma once

#include <mutex>
#include <string_view>

#include "http/reply.h"
#include "http/request.h"

namespace http::server {

class request_handler {
 public:
  request_handler() = default;
  request_handler(const request_handler&) = delete;
  request_handler& operator=(const request_handler&) = delete;

  // Under the lock: the stock 400 reply for a URI with a malformed escape,
  // otherwise 200 with the JSONP text for the raw URI and its two headers.
  void serve_request(const request& req, reply& rep);

 private:
  // Serialises all device traffic across connections.
  std::recursive_mutex mutex_;
};

// True when every "%" in `text` starts a well-formed escape: two characters
// that read as a hex number ("0x"/"0X" with no digit after it do not).
bool check_percent_escapes(std::string_view text);

}  // namespace http::server
