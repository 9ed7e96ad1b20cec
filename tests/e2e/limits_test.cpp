// The limits on request heads and connections, end to end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "tests/e2e/service_process.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr int kMaxConnections = 512;

const std::string kStockReply =
    "HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n"
    "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";
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
  EXPECT_EQ(Exchange(HeadOfSize(kMaxHead + 1)), kStockReply);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(HeadSize, EndlessHeadGetsStockReplyAndClose) {
  ServiceProcess service(ServiceOptions("present 0\n"));
  const int fd = Connect();
  SendAll(fd, "GET / HTTP/1.1\r\n");
  // Keep sending header lines until the server answers and closes.
  const std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
  for (int i = 0; i < 100; ++i) SendAll(fd, line);
  bool closed = false;
  EXPECT_EQ(ReadToEnd(fd, 10s, &closed), kStockReply);
  EXPECT_TRUE(closed);
  close(fd);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(SlowHead, ClosedWithoutReplyWhileServingIsNotTimed) {
  // About 36 s for one readout: 362 transfers of 100 ms.
  ServiceProcess service(ServiceOptions("log 2\ndelay_us 100000\n"));
  const int slow = Connect();
  SendAll(slow, "GET /?cb=f HTTP/1.1\r\nHo");
  std::this_thread::sleep_for(100ms);
  const auto started = std::chrono::steady_clock::now();
  auto served =
      std::async(std::launch::async, [] { return Exchange("GET /?cb=f HTTP/1.0\r\n\r\n"); });
  const std::string reply = served.get();
  EXPECT_GT(std::chrono::steady_clock::now() - started, 30s);
  EXPECT_NE(reply.find("\"Status\": \"0\""), std::string::npos) << reply;
  bool closed = false;
  EXPECT_EQ(ReadToEnd(slow, 10s, &closed), "");
  EXPECT_TRUE(closed);
  close(slow);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(ConnectionCap, OldestWaitingConnectionMakesRoom) {
  RaiseOwnDescriptorLimit();
  ServiceOptions options("present 0\n");
  options.max_open_files = 4096;
  ServiceProcess service(options);
  std::vector<int> idle;
  for (int i = 0; i < kMaxConnections; ++i) {
    idle.push_back(Connect());
    ASSERT_GE(idle.back(), 0) << i;
    SendAll(idle.back(), "GET / HTTP/1.1\r\n");  // a head that never ends
  }
  std::this_thread::sleep_for(300ms);
  // The newcomer is served; the oldest idle connection was closed without a reply.
  EXPECT_EQ(Body(Exchange("GET /?cb=f HTTP/1.0\r\n\r\n")), kStatusSix);
  bool closed = false;
  EXPECT_EQ(ReadToEnd(idle.front(), 5s, &closed), "");
  EXPECT_TRUE(closed);
  // The others still wait.
  for (std::size_t i = 1; i < idle.size(); i += 97) {
    EXPECT_EQ(ReadToEnd(idle[i], 10ms, &closed), "");
    EXPECT_FALSE(closed) << i;
  }
  // The served newcomer has left, so the next one fits without evicting anybody.
  EXPECT_EQ(Body(Exchange("GET /?cb=f HTTP/1.0\r\n\r\n")), kStatusSix);
  EXPECT_EQ(ReadToEnd(idle[1], 100ms, &closed), "");
  EXPECT_FALSE(closed);
  for (int fd : idle) close(fd);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_EQ(service.Stderr(), "");
}

}  // namespace
}  // namespace e2e
