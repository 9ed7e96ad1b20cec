#include "keeper/keeper_routes.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

namespace http = boost::beast::http;

constexpr unsigned short kPort = 5001;

struct RouteCase {
  http::verb method;
  std::string target;
  std::string host;
  Route route;
  http::status error;
};

const RouteCase kCases[] = {
    {http::verb::get, "/", "localhost:5001", Route::kWebFile, http::status::ok},
    {http::verb::head, "/viewer.js?v=2", "127.0.0.1:5001", Route::kWebFile, http::status::ok},
    {http::verb::get, "/api/history", "[::1]:5001", Route::kHistory, http::status::ok},
    {http::verb::get, "/api/history?since=100", "localhost:5001", Route::kHistory,
     http::status::ok},
    {http::verb::post, "/api/poll", "localhost:5001", Route::kPoll, http::status::ok},
    {http::verb::get, "/metrics", "localhost:5001", Route::kMetrics, http::status::ok},
    // Metrics are for scrapers on the LAN too.
    {http::verb::get, "/metrics", "192.168.1.20:5001", Route::kMetrics, http::status::ok},
    {http::verb::get, "/api/history", "evil.example:5001", Route::kError, http::status::forbidden},
    {http::verb::get, "/", "evil.example", Route::kError, http::status::forbidden},
    {http::verb::get, "/", "", Route::kError, http::status::forbidden},
    {http::verb::post, "/api/history", "localhost:5001", Route::kError,
     http::status::method_not_allowed},
    {http::verb::get, "/api/poll", "localhost:5001", Route::kError,
     http::status::method_not_allowed},
    {http::verb::delete_, "/metrics", "localhost:5001", Route::kError,
     http::status::method_not_allowed},
    {http::verb::get, "/api/other", "localhost:5001", Route::kError, http::status::not_found},
    {http::verb::get, "/api/history?since=soon", "localhost:5001", Route::kError,
     http::status::bad_request},
    {http::verb::get, "/api/history?since=-1", "localhost:5001", Route::kError,
     http::status::bad_request},
    {http::verb::get, "/api/history?since=1&since=2", "localhost:5001", Route::kError,
     http::status::bad_request},
    {http::verb::get, "/api/history?since=%zz", "localhost:5001", Route::kError,
     http::status::bad_request},
    {http::verb::get, "/api/history?since=" + std::string(kMaxTargetLength, '1'), "localhost:5001",
     Route::kError, http::status::uri_too_long},
    {http::verb::get, "*", "localhost:5001", Route::kError, http::status::bad_request},
};

TEST(KeeperRoutesTest, DecidesEachRequest) {
  for (const RouteCase& c : kCases) {
    http::request_header<> request;
    request.method(c.method);
    request.target(c.target);
    if (!c.host.empty()) request.set(http::field::host, c.host);
    const RouteDecision decision = RouteRequest(request, kPort);
    EXPECT_EQ(decision.route, c.route) << c.target << " " << c.host;
    EXPECT_EQ(decision.error, c.error) << c.target << " " << c.host;
  }
}

TEST(KeeperRoutesTest, KeepsTheSinceValueAndThePath) {
  http::request_header<> request;
  request.method(http::verb::get);
  request.set(http::field::host, "localhost:5001");
  request.target("/api/history?since=1396440000&x=1");
  EXPECT_EQ(RouteRequest(request, kPort).since, 1396440000);
  request.target("/vendor/uPlot.min.js?x=1");
  EXPECT_EQ(RouteRequest(request, kPort).path, "/vendor/uPlot.min.js");
}

TEST(KeeperRoutesTest, NamesTheAllowedMethods) {
  http::request_header<> request;
  request.method(http::verb::put);
  request.set(http::field::host, "localhost:5001");
  request.target("/api/poll");
  EXPECT_EQ(RouteRequest(request, kPort).allow, "POST");
  request.target("/api/history");
  EXPECT_EQ(RouteRequest(request, kPort).allow, "GET");
}

}  // namespace
}  // namespace keeper
