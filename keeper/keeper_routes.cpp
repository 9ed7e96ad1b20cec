#include "keeper/keeper_routes.h"

#include <charconv>
#include <string_view>

#include "keeper/host_check.h"
#include "keeper/query_string.h"

namespace keeper {
namespace {

namespace http = boost::beast::http;

constexpr std::string_view kHistoryPath = "/api/history";
constexpr std::string_view kPollPath = "/api/poll";
constexpr std::string_view kMetricsPath = "/metrics";
constexpr std::string_view kApiPrefix = "/api/";

RouteDecision Error(http::status status, std::string allow = {}) {
  RouteDecision decision;
  decision.error = status;
  decision.allow = std::move(allow);
  return decision;
}

// ?since=EPOCH, the one parameter the history takes; others are ignored.
bool ParseSince(std::string_view query, std::int64_t* since) {
  const auto parameters = ParseQueryString(query);
  if (!parameters) return false;
  bool seen = false;
  for (const auto& [name, value] : *parameters) {
    if (name != "since") continue;
    if (seen) return false;
    seen = true;
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, *since);
    if (value.empty() || error != std::errc() || stop != end || *since < 0) return false;
  }
  return true;
}

}  // namespace

RouteDecision RouteRequest(const http::request_header<>& request, unsigned short listen_port) {
  const std::string_view target(request.target().data(), request.target().size());
  if (target.size() > kMaxTargetLength) return Error(http::status::uri_too_long);
  if (target.empty() || target.front() != '/') return Error(http::status::bad_request);
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  const std::string_view query =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  const http::verb method = request.method();
  const bool reading = method == http::verb::get || method == http::verb::head;

  if (path == kMetricsPath) {
    // Open to any Host, so that a Prometheus on the LAN may scrape it.
    if (method != http::verb::get) return Error(http::status::method_not_allowed, "GET");
    RouteDecision decision;
    decision.route = Route::kMetrics;
    return decision;
  }
  const auto host = request.find(http::field::host);
  if (host == request.end() ||
      !NamesLoopbackHost(std::string_view(host->value().data(), host->value().size()),
                         listen_port)) {
    return Error(http::status::forbidden);
  }
  RouteDecision decision;
  if (path == kHistoryPath) {
    if (method != http::verb::get) return Error(http::status::method_not_allowed, "GET");
    if (!ParseSince(query, &decision.since)) return Error(http::status::bad_request);
    decision.route = Route::kHistory;
  } else if (path == kPollPath) {
    if (method != http::verb::post) return Error(http::status::method_not_allowed, "POST");
    decision.route = Route::kPoll;
  } else if (path.substr(0, kApiPrefix.size()) == kApiPrefix) {
    return Error(http::status::not_found);
  } else {
    if (!ParseQueryString(query)) return Error(http::status::bad_request);
    // Whether the file exists decides first (404), then the method (405).
    decision.route = Route::kWebFile;
    decision.path = std::string(path);
    decision.web_method_allowed = reading;
    decision.allow = "GET, HEAD";
  }
  return decision;
}

}  // namespace keeper
