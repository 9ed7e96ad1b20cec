// A socket step that failed, told as "<step>: <the system's message>".
#pragma once

#include <boost/system/error_code.hpp>
#include <stdexcept>

namespace http::server {

// The text is built here rather than taken from boost::system::system_error,
// whose what() gains a "[system:N]" suffix in newer Boost versions.
class socket_step_error : public std::runtime_error {
 public:
  socket_step_error(const char* step, const boost::system::error_code& error);
};

// Throws socket_step_error when `error` is set.
void throw_on_step_error(const boost::system::error_code& error, const char* step);

}  // namespace http::server
