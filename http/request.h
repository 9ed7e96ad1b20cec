#pragma once

#include <string>
#include <vector>

#include "http/header.h"

namespace http::server {

// A parsed request head. Only `uri` is read after parsing; the rest is validated.
struct request {
  std::string method;
  std::string uri;
  int version_major = 0;
  int version_minor = 0;
  std::vector<header> headers;
};

}  // namespace http::server
