// dosebridge: serves the dosimeter's readings as JSONP on localhost:5000.
#include <exception>
#include <iostream>

#include "http/server.h"

namespace {

// Fixed settings: the service reads no arguments, files or environment.
constexpr const char* kAddress = "localhost";
constexpr const char* kPort = "5000";

}  // namespace

int main(int /*argc*/, char* /*argv*/[]) {
  try {
    http::server::server service(kAddress, kPort);
    service.run();
  } catch (const std::exception& e) {
    // The server is destroyed by now; a fatal error must not look like a normal stop.
    std::cerr << "exception: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
