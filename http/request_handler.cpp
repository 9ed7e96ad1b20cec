#include "http/request_handler.h"

#include <string>

#include "service/api_request.h"

namespace http::server {
namespace {

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A pair reads as a hex number when it is a digit and anything except the bare
// prefix "0x", or a sign followed by a digit.
bool is_well_formed_escape(char first, char second) {
  if (is_hex_digit(first)) return !(first == '0' && (second == 'x' || second == 'X'));
  return (first == '+' || first == '-') && is_hex_digit(second);
}

}  // namespace

bool check_percent_escapes(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 3 > text.size() || !is_well_formed_escape(text[i + 1], text[i + 2])) return false;
    i += 2;
  }
  return true;
}

void request_handler::serve_request(const request& req, reply& rep) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!check_percent_escapes(req.uri)) {
    rep = bad_request_reply();
    return;
  }
  rep.status = reply::ok;
  std::string jsonp = service::ProcessApiRequest(req.uri);
  if (rep.content.empty()) {
    rep.content = std::move(jsonp);  // the usual case: no copy of the text
  } else {
    rep.content += jsonp;
  }
  rep.headers = {{"Content-Length", std::to_string(rep.content.size())},
                 {"Content-Type", "text/javascript"}};
}

}  // namespace http::server
