// The service's own limits, end to end: the values that main passes to the
// server. Their behaviour is tested in process with short limits
// (tests/http/server_test.cpp).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <thread>

#include "tests/e2e/service_process.h"
#include "tests/http/stock_reply.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using client::End;

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kMaxConnections = 512;

const char kStatusSix[] = "f({\n    \"Status\": \"6\"\n}\n);";

// A head of exactly `size` bytes, padded in one header value.
std::string HeadOfSize(std::size_t size) {
  const std::string start = "GET /GetDeviceInfo?callback=f HTTP/1.1\r\nX-Pad: ";
  const std::string end = "\r\n\r\n";
  return start + std::string(size - start.size() - end.size(), 'p') + end;
}

std::string Body(const std::string& reply) {
  const std::size_t at = reply.find("\r\n\r\n");
  return at == std::string::npos ? "" : reply.substr(at + 4);
}

void RaiseOwnDescriptorLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 4096));
  setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(HeadSize, LimitIsInclusive) {
  ServiceProcess service(ServiceOptions("present 0\n"));
  EXPECT_EQ(Body(Exchange(HeadOfSize(kMaxHead))), kStatusSix);
  EXPECT_EQ(Exchange(HeadOfSize(kMaxHead + 1)), stock::kBadRequestReply);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(ConnectionCap, OldestWaitingConnectionMakesRoom) {
  RaiseOwnDescriptorLimit();
  ServiceOptions options("present 0\n");
  options.max_open_files = 4096;
  ServiceProcess service(options);
  std::vector<client::Socket> idle;
  for (int i = 0; i < kMaxConnections; ++i) {
    idle.push_back(Connect());
    ASSERT_TRUE(idle.back().is_open()) << i;
    client::SendAll(idle.back(), "GET / HTTP/1.1\r\n");  // a head that never ends
  }
  std::this_thread::sleep_for(300ms);
  // The newcomer is served; the oldest idle connection was closed without a reply.
  EXPECT_EQ(Body(Exchange("GET /?cb=f HTTP/1.0\r\n\r\n")), kStatusSix);
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(idle.front(), 5s, &end), "");
  EXPECT_EQ(end, End::kEndOfStream);
  // The second oldest still waits.
  EXPECT_EQ(client::ReadToEnd(idle[1], 100ms, &end), "");
  EXPECT_EQ(end, End::kTimeOut);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_EQ(service.Stderr(), "");
}

}  // namespace
}  // namespace e2e
