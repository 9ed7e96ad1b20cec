// Which reply a request gets: the keeper's routes, the Host check and the
// method rules, apart from any socket.
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/status.hpp>
#include <cstdint>
#include <string>

namespace keeper {

// Longer targets get 414; the history needs only "?since=" and a number.
inline constexpr std::size_t kMaxTargetLength = 2048;

enum class Route { kError, kWebFile, kHistory, kPoll, kMetrics };

struct RouteDecision {
  Route route = Route::kError;
  boost::beast::http::status error = boost::beast::http::status::ok;  // for kError
  std::string allow;                // for 405: the methods the path takes
  std::string path;                 // kWebFile: the path without the query
  bool web_method_allowed = false;  // kWebFile
  std::int64_t since = 0;           // kHistory
};

RouteDecision RouteRequest(const boost::beast::http::request_header<>& request,
                           unsigned short listen_port);

}  // namespace keeper
