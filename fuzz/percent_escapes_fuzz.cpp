// check_percent_escapes against a regular-expression statement of the same rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "http/request_handler.h"

namespace {

// Anything but "%", or "%" and a pair that reads as a hex number: a hex digit
// and any character, or a sign and a hex digit; never the bare prefix "0x".
bool Reference(const std::string& text) {
  static const std::regex kWellFormed(R"(([^%]|%(0[^xX]|[1-9a-fA-F][\s\S]|[+-][0-9a-fA-F]))*)");
  return std::regex_match(text, kWellFormed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  const bool passes = http::server::check_percent_escapes(text);
  // The regex engine recurses per character; keep the comparison to short texts.
  if (size <= 200 && passes != Reference(text)) std::abort();
  return 0;
}
