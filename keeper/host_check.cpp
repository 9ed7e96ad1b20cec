#include "keeper/host_check.h"

#include <string>

namespace keeper {
namespace {

constexpr unsigned short kDefaultHttpPort = 80;
constexpr std::string_view kLoopbackNames[] = {"localhost", "127.0.0.1", "[::1]"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool NamesLoopbackHost(std::string_view host, unsigned short port) {
  // The port follows the last colon, unless that colon is inside "[::1]".
  const std::size_t colon = host.rfind(':');
  const std::size_t bracket = host.rfind(']');
  const bool has_port =
      colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
  const std::string_view name = has_port ? host.substr(0, colon) : host;
  bool loopback = false;
  for (std::string_view candidate : kLoopbackNames) loopback |= EqualsIgnoringCase(name, candidate);
  if (!loopback) return false;
  if (!has_port) return port == kDefaultHttpPort;
  return host.substr(colon + 1) == std::to_string(port);
}

}  // namespace keeper
