#pragma once

#include <string>

namespace http::server {

// One header line of a request or a reply, stored byte for byte.
struct header {
  std::string name;
  std::string value;
};

}  // namespace http::server
