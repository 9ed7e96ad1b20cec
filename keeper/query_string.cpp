#include "keeper/query_string.h"

namespace keeper {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      decoded += ' ';
    } else if (text[i] != '%') {
      decoded += text[i];
    } else {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return decoded;
}

}  // namespace

std::optional<QueryParameters> ParseQueryString(std::string_view query) {
  QueryParameters parameters;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t equals = pair.find('=');
    auto name = Decode(pair.substr(0, equals));
    auto value =
        Decode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
    if (!name || !value) return std::nullopt;
    parameters.emplace_back(std::move(*name), std::move(*value));
  }
  return parameters;
}

}  // namespace keeper
