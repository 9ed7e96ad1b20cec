#include "keeper/duration_text.h"

#include <charconv>

namespace keeper {
namespace {

// Longer than any schedule makes sense for, and far from overflow.
constexpr std::chrono::seconds kLongestDuration = std::chrono::hours(24 * 366);
constexpr unsigned kLargestPort = 65535;

}  // namespace

std::optional<std::chrono::seconds> ParseDuration(const std::string& text) {
  if (text.size() < 2) return std::nullopt;
  long long count = 0;
  const char* end = text.data() + text.size() - 1;
  const auto [stop, error] = std::from_chars(text.data(), end, count);
  if (error != std::errc() || stop != end || count <= 0 || text[0] == '+') return std::nullopt;
  std::chrono::seconds unit;
  switch (*end) {
    case 's':
      unit = std::chrono::seconds(1);
      break;
    case 'm':
      unit = std::chrono::minutes(1);
      break;
    case 'h':
      unit = std::chrono::hours(1);
      break;
    default:
      return std::nullopt;
  }
  if (count > kLongestDuration / unit) return std::nullopt;
  return count * unit;
}

std::optional<HostPort> ParseHostPort(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  HostPort result{text.substr(0, colon), text.substr(colon + 1)};
  if (result.host.front() == '[') {
    if (result.host.size() < 3 || result.host.back() != ']') return std::nullopt;
    result.host = result.host.substr(1, result.host.size() - 2);
  } else if (result.host.find(':') != std::string::npos) {
    return std::nullopt;  // an IPv6 address needs brackets
  }
  unsigned port = 0;
  const char* begin = result.port.data();
  const char* end = begin + result.port.size();
  const auto [stop, error] = std::from_chars(begin, end, port);
  if (result.port.empty() || error != std::errc() || stop != end || port > kLargestPort) {
    return std::nullopt;
  }
  return result;
}

std::string UrlHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

}  // namespace keeper
