// dosebridge: serves the dosimeter's readings as JSONP on localhost:5000.
#include <boost/system/system_error.hpp>
#include <exception>
#include <iostream>
#include <string_view>

#include "http/limits.h"
#include "http/server.h"
#include "http/socket_step_error.h"

namespace {

// Fixed settings: the service reads no arguments, files or environment.
constexpr const char* kAddress = "localhost";
constexpr const char* kPort = "5000";

http::server::server_options FixedOptions() {
  namespace limits = http::server::limits;
  return {kAddress,
          kPort,
          {limits::max_head_size, limits::head_timeout, limits::linger_timeout},
          limits::max_connections,
          limits::accept_retry_delay};
}

// The one line that a fatal error leaves, by now with the server destroyed:
// a fatal error must not look like a normal stop.
int ReportFatal(std::string_view text) {
  std::cerr << "exception: " << text << "\n";
  return 1;
}

}  // namespace

int main(int /*argc*/, char* /*argv*/[]) {
  try {
    http::server::server service(FixedOptions());
    service.run();
  } catch (const http::server::socket_step_error& e) {
    return ReportFatal(e.what());  // "<step>: <message>"
  } catch (const boost::system::system_error& e) {
    // Only the event loop's own failure gets here; its message is the whole text.
    return ReportFatal(e.code().message());
  } catch (const std::exception& e) {
    return ReportFatal(e.what());
  }
  return 0;
}
