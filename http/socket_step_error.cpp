#include "http/socket_step_error.h"

#include <string>

namespace http::server {

socket_step_error::socket_step_error(const char* step, const boost::system::error_code& error)
    : std::runtime_error(std::string(step) + ": " + error.message()) {}

void throw_on_step_error(const boost::system::error_code& error, const char* step) {
  if (error) throw socket_step_error(step, error);
}

}  // namespace http::server
