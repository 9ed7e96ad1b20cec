// Differential: the same bytes parsed whole and in random pieces must give the
// same result, the same stop position and the same request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "http/request_parser.h"

namespace {

struct Outcome {
  int result;  // 1 true, 0 false, 2 indeterminate
  std::size_t consumed;
  http::server::request request;
};

int ToInt(boost::tribool value) {
  return value ? 1 : !value ? 0 : 2;
}

bool Same(const http::server::request& a, const http::server::request& b) {
  if (a.method != b.method || a.uri != b.uri || a.version_major != b.version_major ||
      a.version_minor != b.version_minor || a.headers.size() != b.headers.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.headers.size(); ++i) {
    if (a.headers[i].name != b.headers[i].name || a.headers[i].value != b.headers[i].value)
      return false;
  }
  return true;
}

Outcome ParseWhole(const char* data, std::size_t size) {
  Outcome out{2, 0, {}};
  http::server::request_parser parser;
  const auto [result, stop] = parser.parse(out.request, data, data + size);
  out.result = ToInt(result);
  out.consumed = static_cast<std::size_t>(stop - data);
  return out;
}

Outcome ParseInPieces(const char* data, std::size_t size, std::uint32_t seed) {
  Outcome out{2, 0, {}};
  http::server::request_parser parser;
  std::minstd_rand random(seed);
  std::size_t at = 0;
  while (at < size && out.result == 2) {
    const std::size_t piece = 1 + random() % std::min<std::size_t>(size - at, 64);
    const auto [result, stop] = parser.parse(out.request, data + at, data + at + piece);
    out.result = ToInt(result);
    const std::size_t used = static_cast<std::size_t>(stop - (data + at));
    if (out.result == 2 && used != piece) std::abort();  // indeterminate takes the whole piece
    at += used;
  }
  out.consumed = at;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t seed =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  const char* data = reinterpret_cast<const char*>(bytes + 4);
  size -= 4;
  const Outcome whole = ParseWhole(data, size);
  const Outcome pieces = ParseInPieces(data, size, seed);
  if (whole.result != pieces.result || whole.consumed != pieces.consumed ||
      !Same(whole.request, pieces.request)) {
    std::abort();
  }
  return 0;
}
