// The server in this process, on an ephemeral port with short limits, and
// clients over real sockets.
#include "http/server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "sim/sim.h"
#include "tests/golden/documents.h"
#include "tests/http/socket_client.h"
#include "tests/http/stock_reply.h"

namespace http::server {
namespace {

using namespace std::chrono_literals;
using client::End;

constexpr std::size_t kMaxHead = 1024;
constexpr std::size_t kMaxConnections = 4;
const char kStatusSix[] = "f({\n    \"Status\": \"6\"\n}\n);";
const char kTwoPointSim[] =
    "entry 0 00 01 01 c0 fb 3b 53 0c 00 00 00 00 00 00 00\n"
    "entry 1 00 01 02 fc fb 3b 53 52 80 04 00 00 00 00 00\n";
const char kReadoutEnd[] = "    \"Status\": \"0\"\n}\n);";

server_options ShortLimits() {
  return {"127.0.0.1", "", {kMaxHead, 300ms, 2s}, kMaxConnections, 100ms};
}

std::string FreePort() {
  boost::asio::io_context loop;
  boost::asio::ip::tcp::acceptor probe(
      loop, boost::asio::ip::tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
  return std::to_string(probe.local_endpoint().port());
}

std::string Get(const std::string& uri) {
  return "GET " + uri + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
}

std::string Body(const std::string& reply) {
  const std::size_t at = reply.find("\r\n\r\n");
  return at == std::string::npos ? "" : reply.substr(at + 4);
}

// A head of exactly `size` bytes, padded in one header value.
std::string HeadOfSize(std::size_t size) {
  const std::string start = "GET /GetDeviceInfo?callback=f HTTP/1.1\r\nX-Pad: ";
  const std::string end = "\r\n\r\n";
  return start + std::string(size - start.size() - end.size(), 'p') + end;
}

// Runs the server on its own thread; stops it as the service stops, by SIGTERM.
class RunningServer {
 public:
  explicit RunningServer(server_options options = ShortLimits()) {
    options.port = FreePort();
    endpoint_ = {options.address, options.port};
    server_.emplace(options);
    loop_ = std::thread([this] {
      try {
        server_->run();
      } catch (const std::exception& e) {
        error_ = e.what();
      }
    });
  }
  ~RunningServer() {
    Stop();
    EXPECT_EQ(error_, "");
  }
  RunningServer(const RunningServer&) = delete;
  RunningServer& operator=(const RunningServer&) = delete;

  void Stop() {
    if (!loop_.joinable()) return;
    kill(getpid(), SIGTERM);
    loop_.join();
  }
  const client::Endpoint& endpoint() const { return endpoint_; }

 private:
  client::Endpoint endpoint_;
  std::optional<server> server_;
  std::thread loop_;
  std::string error_;
};

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
};

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent-Type: text/javascript\r\n\r\n" + body;
}

std::string Jsonp(const std::string& callback, const std::string& json) {
  return callback + "(" + json + ");";
}

const std::string kInfo = Ok(Jsonp("f", golden::InfoAndStatus("0123456789abcd", "0")));
const std::string kTwoPoints = Ok(Jsonp("f", golden::kTwoPointExample));
const std::string kErased = Ok("f({\n    \"Status\": \"0\"\n}\n);");

TEST_F(ServerTest, HeadSentOneByteAtATime) {
  RunningServer server;
  const client::Socket socket = client::Connect(server.endpoint());
  for (const char c : Get("/GetDeviceInfo?callback=f")) {
    client::SendAll(socket, std::string(1, c));
    std::this_thread::sleep_for(1ms);
  }
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(socket, 5s, &end), kInfo);
  EXPECT_EQ(end, End::kEndOfStream);
}

TEST_F(ServerTest, HeadLongerThanOneReadBuffer) {
  server_options options = ShortLimits();
  options.connection.max_head_size = 64 * 1024;
  RunningServer server(options);
  const std::string head =
      "GET /GetDeviceInfo?callback=f HTTP/1.1\r\nX-Long: " + std::string(40000, 'a') + "\r\n\r\n";
  EXPECT_EQ(client::Exchange(server.endpoint(), head), kInfo);
}

TEST_F(ServerTest, MalformedHeadGetsStockReplyWithoutTouchingTheDevice) {
  RunningServer server;
  EXPECT_EQ(client::Exchange(server.endpoint(), "GET /Erase?cb=f http/1.0\r\n\r\n"),
            stock::kBadRequestReply);
  EXPECT_EQ(sim::OpenCalls(), 0);
}

TEST_F(ServerTest, SecondRequestInSameSegmentIsDiscarded) {
  sim::ApplyConfig(kTwoPointSim);
  RunningServer server;
  EXPECT_EQ(
      client::Exchange(server.endpoint(), Get("/GetDeviceInfo?callback=f") + Get("/Erase?cb=g")),
      kInfo);
  EXPECT_EQ(sim::OpenCalls(), 1);
  // The log was not erased.
  EXPECT_EQ(client::Exchange(server.endpoint(), Get("/?callback=f")), kTwoPoints);
}

TEST_F(ServerTest, HalfAHeadThenCloseGetsNoReplyAndServingGoesOn) {
  sim::ApplyConfig(kTwoPointSim);
  RunningServer server;
  {
    const client::Socket socket = client::Connect(server.endpoint());
    client::SendAll(socket, "GET /Erase?cb=f HTTP/1.1\r\nHo");
    shutdown(socket.fd(), SHUT_WR);
    End end = End::kTimeOut;
    EXPECT_EQ(client::ReadToEnd(socket, 5s, &end), "");
    EXPECT_EQ(end, End::kEndOfStream);
  }
  EXPECT_EQ(client::Exchange(server.endpoint(), Get("/?callback=f")), kTwoPoints);
}

TEST_F(ServerTest, AnyMethodIsServedLikeGet) {
  sim::ApplyConfig(kTwoPointSim);
  RunningServer server;
  EXPECT_EQ(client::Exchange(server.endpoint(),
                             "POST /Erase?cb=f HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"),
            kErased);
  EXPECT_EQ(client::Exchange(server.endpoint(), "HEAD /?cb=f HTTP/1.1\r\n\r\n"),
            Ok(Jsonp("f", golden::InfoAndStatus("0123456789abcd", "3"))));
}

TEST_F(ServerTest, SlowDeviceServesClientsOneAtATime) {
  sim::ApplyConfig(kTwoPointSim);
  sim::SetDelay(1ms);  // a readout holds the device for about 0.4 s
  RunningServer server;
  auto client = [&server] { return client::Exchange(server.endpoint(), Get("/?callback=f")); };
  auto first = std::async(std::launch::async, client);
  auto second = std::async(std::launch::async, client);
  EXPECT_EQ(first.get(), kTwoPoints);
  EXPECT_EQ(second.get(), kTwoPoints);
  EXPECT_EQ(sim::OpenCalls(), 2);
  EXPECT_EQ(sim::MaxOpenHandles(), 1) << "device sessions overlapped";
}

// A client that sends more after its head and reads slowly through a small
// window must still get the whole reply and then a clean end of stream.
struct TrailingBytesCase {
  const char* label;
  std::string right_after_head;
  std::string after_50ms;
};

void PrintTo(const TrailingBytesCase& c, std::ostream* os) {
  *os << c.label;
}

class TrailingBytes : public ServerTest, public ::testing::WithParamInterface<TrailingBytesCase> {};

TEST_P(TrailingBytes, SlowReaderGetsWholeReadoutThenEndOfStream) {
  constexpr int kSmallWindow = 4096;
  constexpr std::size_t kSip = 1024;
  sim::FillRealisticLog(sim::kEntries);
  RunningServer server;
  const client::Socket socket = client::Connect(server.endpoint(), kSmallWindow);
  ASSERT_TRUE(socket.is_open());
  client::SendAll(socket, Get("/?callback=f") + GetParam().right_after_head);
  std::this_thread::sleep_for(50ms);
  client::SendAll(socket, GetParam().after_50ms);

  std::string reply;
  End end = End::kTimeOut;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  char sip[kSip];
  while (std::chrono::steady_clock::now() < deadline) {
    const ssize_t n = recv(socket.fd(), sip, sizeof sip, 0);
    if (n <= 0) {
      end = n == 0 ? End::kEndOfStream : End::kReset;
      break;
    }
    reply.append(sip, static_cast<std::size_t>(n));
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_EQ(end, End::kEndOfStream);
  const std::string body = Body(reply);
  EXPECT_GT(body.size(), 25000u);
  EXPECT_NE(reply.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(body.substr(body.size() - std::min(body.size(), sizeof kReadoutEnd - 1)), kReadoutEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrailingBytes,
    ::testing::Values(TrailingBytesCase{"50 KB at once", std::string(50 * 1024, 'b'), ""},
                      TrailingBytesCase{"100 bytes 50 ms later", "", std::string(100, 'b')}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(ServerTest, StopClosesLingeringConnectionsAtOnce) {
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.connection.linger_timeout = 60s;
  RunningServer server(options);
  // The client reads its reply but never closes, so the server lingers.
  const client::Socket socket = client::Connect(server.endpoint());
  client::SendAll(socket, Get("/?cb=f"));
  End end = End::kTimeOut;
  EXPECT_EQ(Body(client::ReadToEnd(socket, 5s, &end)), kStatusSix);
  EXPECT_EQ(end, End::kEndOfStream);
  const auto before = std::chrono::steady_clock::now();
  server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
}

TEST_F(ServerTest, LingeringEndsAfterItsTimeout) {
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.connection.linger_timeout = 100ms;
  RunningServer server(options);
  const client::Socket socket = client::Connect(server.endpoint());
  client::SendAll(socket, Get("/?cb=f"));
  End end = End::kTimeOut;
  EXPECT_EQ(Body(client::ReadToEnd(socket, 5s, &end)), kStatusSix);
  ASSERT_EQ(end, End::kEndOfStream);
  // Long after the timeout the server has closed its socket, so a byte sent
  // now is answered with a reset, and the next send fails; a lingering server
  // would drop the byte silently.
  std::this_thread::sleep_for(1s);
  client::SendAll(socket, "x");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(send(socket.fd(), "y", 1, MSG_NOSIGNAL), -1);
  EXPECT_EQ(errno, EPIPE);
}

TEST_F(ServerTest, HeadSizeLimitIsInclusive) {
  sim::SetPresent(false);
  RunningServer server;
  EXPECT_EQ(Body(client::Exchange(server.endpoint(), HeadOfSize(kMaxHead))), kStatusSix);
  EXPECT_EQ(client::Exchange(server.endpoint(), HeadOfSize(kMaxHead + 1)), stock::kBadRequestReply);
  EXPECT_EQ(sim::OpenCalls(), 1);
}

TEST_F(ServerTest, EndlessHeadGetsStockReplyAndClose) {
  RunningServer server;
  const client::Socket socket = client::Connect(server.endpoint());
  client::SendAll(socket, "GET / HTTP/1.1\r\n");
  const std::string line = "X-Filler: " + std::string(100, 'f') + "\r\n";
  for (std::size_t sent = 0; sent < 3 * kMaxHead; sent += line.size())
    client::SendAll(socket, line);
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(socket, 5s, &end), stock::kBadRequestReply);
  EXPECT_EQ(end, End::kEndOfStream);
  EXPECT_EQ(sim::OpenCalls(), 0);
}

TEST_F(ServerTest, HeadTimeoutClosesWithoutReply) {
  RunningServer server;
  const client::Socket socket = client::Connect(server.endpoint());
  client::SendAll(socket, "GET /Erase?cb=f HTTP/1.1\r\nHo");
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(socket, 5s, &end), "");
  EXPECT_EQ(end, End::kEndOfStream);
  EXPECT_EQ(sim::OpenCalls(), 0);
}

TEST_F(ServerTest, ServingIsNotCutByAnotherHeadTimeout) {
  // 362 transfers of 2 ms: a readout holds the loop more than twice the head timeout.
  sim::FillRealisticLog(2);
  sim::SetDelay(2ms);
  RunningServer server;
  const client::Socket slow = client::Connect(server.endpoint());
  client::SendAll(slow, "GET /?cb=f HTTP/1.1\r\nHo");
  const std::string reply = client::Exchange(server.endpoint(), Get("/?cb=f"));
  EXPECT_NE(reply.find(kReadoutEnd), std::string::npos) << reply;
  EXPECT_EQ(reply.find("<no end of stream>"), std::string::npos);
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(slow, 5s, &end), "");
  EXPECT_EQ(end, End::kEndOfStream);
}

// Idle clients, each with a head that never ends, fill the server to its cap.
std::vector<client::Socket> FillWithIdleClients(const client::Endpoint& endpoint,
                                                std::size_t count) {
  std::vector<client::Socket> idle;
  for (std::size_t i = 0; i < count; ++i) {
    idle.push_back(client::Connect(endpoint));
    client::SendAll(idle.back(), "GET / HTTP/1.1\r\n");
  }
  std::this_thread::sleep_for(200ms);  // all accepted by now
  return idle;
}

TEST_F(ServerTest, AtTheCapTheOldestWaitingConnectionMakesRoom) {
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.connection.head_timeout = 60s;
  RunningServer server(options);
  const std::vector<client::Socket> idle = FillWithIdleClients(server.endpoint(), kMaxConnections);
  EXPECT_EQ(Body(client::Exchange(server.endpoint(), Get("/?cb=f"))), kStatusSix);
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(idle.front(), 5s, &end), "");
  EXPECT_EQ(end, End::kEndOfStream);
  for (std::size_t i = 1; i < idle.size(); ++i) {
    EXPECT_EQ(client::ReadToEnd(idle[i], 10ms, &end), "");
    EXPECT_EQ(end, End::kTimeOut) << i;
  }
  // The served newcomer has left, so the next one fits without evicting anybody.
  EXPECT_EQ(Body(client::Exchange(server.endpoint(), Get("/?cb=f"))), kStatusSix);
  EXPECT_EQ(client::ReadToEnd(idle[1], 100ms, &end), "");
  EXPECT_EQ(end, End::kTimeOut);
}

TEST_F(ServerTest, NewcomerIsServedWhileEveryOtherConnectionLingers) {
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.connection.linger_timeout = 60s;
  RunningServer server(options);
  // Served clients that never close hold every place at the cap.
  std::vector<client::Socket> lingering;
  for (std::size_t i = 0; i < kMaxConnections; ++i) {
    lingering.push_back(client::Connect(server.endpoint()));
    client::SendAll(lingering.back(), Get("/?cb=f"));
    EXPECT_EQ(Body(client::ReadToEnd(lingering.back(), 5s)), kStatusSix);
  }
  EXPECT_EQ(Body(client::Exchange(server.endpoint(), Get("/?cb=f"))), kStatusSix);
}

// The server in a child process whose descriptors run out after a few clients.
class ChildServer {
 public:
  ChildServer(const server_options& options, int max_open_files) {
    endpoint_ = {options.address, options.port};
    pid_ = fork();
    if (pid_ == 0) {
      const rlimit limit{static_cast<rlim_t>(max_open_files), static_cast<rlim_t>(max_open_files)};
      setrlimit(RLIMIT_NOFILE, &limit);
      try {
        server(options).run();
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
  }
  ~ChildServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;

  const client::Endpoint& endpoint() const { return endpoint_; }

  // User plus system CPU time that the child has used so far.
  std::chrono::milliseconds CpuTime() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string field;
    // Skip to fields 14 and 15 (utime, stime); the name in field 2 has no blanks here.
    for (int i = 1; i < 14; ++i) stat >> field;
    long long user = 0, system = 0;
    stat >> user >> system;
    return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
  }

 private:
  client::Endpoint endpoint_;
  pid_t pid_ = -1;
};

TEST_F(ServerTest, OutOfDescriptorsAnEvictionIsUsedAtOnce) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs free descriptors of its own";
#endif
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.port = FreePort();
  options.max_connections = 1000;
  options.connection.head_timeout = 60s;
  // Were the freed descriptor not used at once, the good client would wait this long.
  options.accept_retry_delay = 1h;
  ChildServer server(options, 24);
  ASSERT_TRUE(client::WaitUntilListening(server.endpoint(), 10s));
  const std::vector<client::Socket> idle = FillWithIdleClients(server.endpoint(), 40);
  EXPECT_EQ(Body(client::Exchange(server.endpoint(), Get("/?cb=f"))), kStatusSix);
}

TEST_F(ServerTest, OutOfDescriptorsWithNobodyToEvictTheServerPausesWithoutSpinning) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs free descriptors of its own";
#endif
  sim::SetPresent(false);
  server_options options = ShortLimits();
  options.port = FreePort();
  options.max_connections = 1000;
  options.connection.linger_timeout = 60s;
  ChildServer server(options, 24);
  ASSERT_TRUE(client::WaitUntilListening(server.endpoint(), 10s));
  // Served clients that never close hold every descriptor while they linger;
  // the rest wait in the backlog, and no connection waits for its head.
  std::vector<client::Socket> clients;
  for (int i = 0; i < 40; ++i) {
    clients.push_back(client::Connect(server.endpoint()));
    client::SendAll(clients.back(), Get("/?cb=f"));
  }
  std::this_thread::sleep_for(300ms);
  const auto before = server.CpuTime();
  std::this_thread::sleep_for(1s);
  // An accept retried without a pause would burn the whole second.
  EXPECT_LT((server.CpuTime() - before).count(), 300);
  EXPECT_EQ(Body(client::ReadToEnd(clients.front(), 1s)), kStatusSix);
}

}  // namespace
}  // namespace http::server
