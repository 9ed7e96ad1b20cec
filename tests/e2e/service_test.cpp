// The real binary over real sockets, with the simulated dosimeter preloaded.
#include <gtest/gtest.h>
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "tests/e2e/service_process.h"
#include "tests/golden/documents.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using golden::InfoAndStatus;
using golden::StatusOnly;

const char kTwoPointSim[] =
    "serial 01 23 45 67 89 ab cd\n"
    "entry 0 00 01 01 c0 fb 3b 53 0c 00 00 00 00 00 00 00\n"
    "entry 1 00 01 02 fc fb 3b 53 52 80 04 00 00 00 00 00\n";
const char kNoDeviceSim[] = "present 0\n";

const std::string kStockReply =
    "HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n"
    "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent-Type: text/javascript\r\n\r\n" + body;
}

std::string Get(const std::string& uri) {
  return "GET " + uri + " HTTP/1.1\r\nHost: localhost:5000\r\n\r\n";
}

std::string Jsonp(const std::string& callback, const std::string& json) {
  return callback + "(" + json + ");";
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

struct RouteCase {
  const char* label;
  const char* sim;
  std::string request;
  std::string reply;
};

void PrintTo(const RouteCase& c, std::ostream* os) {
  *os << c.label;
}

class Routes : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Routes, ExactReplyBytes) {
  ServiceProcess service({GetParam().sim});
  EXPECT_EQ(Exchange(GetParam().request), GetParam().reply);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Routes,
    ::testing::Values(RouteCase{"readout", kTwoPointSim, Get("/?callback=f"),
                                Ok(Jsonp("f", golden::kTwoPointExample))},
                      RouteCase{"device information", kTwoPointSim,
                                Get("/GetDeviceInfo?callback=cb"),
                                Ok(Jsonp("cb", InfoAndStatus("0123456789abcd", "0")))},
                      RouteCase{"erase", kTwoPointSim, Get("/Erase?cb=f"),
                                Ok("f({\n    \"Status\": \"0\"\n}\n);")},
                      RouteCase{"empty log", "", Get("/?cb=f"),
                                Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "3")))},
                      RouteCase{"no device", kNoDeviceSim, Get("/GetDeviceInfo?callback=f"),
                                Ok(Jsonp("f", StatusOnly("6")))},
                      RouteCase{"malformed head", kTwoPointSim, "GET / HTTP/1.0\n\n", kStockReply},
                      RouteCase{"malformed escape", kTwoPointSim, Get("/?cb=%zz"), kStockReply},
                      RouteCase{"HTTP/1.0 without headers", kNoDeviceSim,
                                "GET /?cb=f HTTP/1.0\r\n\r\n", Ok(Jsonp("f", StatusOnly("6")))}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

class ServiceTest : public ::testing::Test {
 protected:
  ServiceProcess service_{{kTwoPointSim}};
  void TearDown() override {
    EXPECT_EQ(service_.Stop(SIGTERM), 0);
    EXPECT_EQ(service_.Stderr(), "");
    // Every device session was closed again.
    const std::string record = service_.SimRecord();
    EXPECT_EQ(Count(record, "open 1"), Count(record, "close 0")) << record;
  }
};

TEST_F(ServiceTest, MalformedHeadGetsStockReplyThenEndOfStream) {
  const int fd = Connect();
  SendAll(fd, "GET / http/1.0\r\n\r\n");
  bool closed = false;
  EXPECT_EQ(ReadToEnd(fd, 10s, &closed), kStockReply);
  EXPECT_TRUE(closed);
  close(fd);
  EXPECT_EQ(service_.SimRecord().find("open"), std::string::npos);
}

TEST_F(ServiceTest, HeadSentOneByteAtATime) {
  const int fd = Connect();
  for (const char c : Get("/GetDeviceInfo?callback=f")) {
    SendAll(fd, std::string(1, c));
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(ReadToEnd(fd, 10s), Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  close(fd);
}

TEST_F(ServiceTest, HeadLongerThanOneReadBuffer) {
  const std::string head =
      "GET /GetDeviceInfo?callback=f HTTP/1.1\r\nX-Long: " + std::string(40000, 'a') + "\r\n\r\n";
  EXPECT_EQ(Exchange(head), Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
}

TEST_F(ServiceTest, SecondRequestInSameSegmentIsDiscarded) {
  const std::string reply = Exchange(Get("/GetDeviceInfo?callback=f") + Get("/Erase?cb=g"));
  EXPECT_EQ(reply, Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  EXPECT_EQ(Count(service_.SimRecord(), "open 1"), 1u);
  // The log was not erased.
  EXPECT_EQ(Exchange(Get("/?callback=f")), Ok(Jsonp("f", golden::kTwoPointExample)));
}

TEST_F(ServiceTest, HalfAHeadThenCloseGetsNoReplyAndServiceGoesOn) {
  const int fd = Connect();
  SendAll(fd, "GET /Erase?cb=f HTTP/1.1\r\nHo");
  shutdown(fd, SHUT_WR);
  bool closed = false;
  EXPECT_EQ(ReadToEnd(fd, 10s, &closed), "");
  EXPECT_TRUE(closed);
  close(fd);
  EXPECT_EQ(Exchange(Get("/?callback=f")), Ok(Jsonp("f", golden::kTwoPointExample)));
}

TEST_F(ServiceTest, AnyMethodIsServedLikeGet) {
  EXPECT_EQ(Exchange("POST /Erase?cb=f HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"),
            Ok("f({\n    \"Status\": \"0\"\n}\n);"));
  EXPECT_EQ(Exchange("HEAD /?cb=f HTTP/1.1\r\n\r\n"),
            Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "3"))));
}

TEST_F(ServiceTest, SimulatorChangesBetweenRequests) {
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  service_.RewriteSimConfig("serial fe dc ba 98 76 54 32\n");
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("fedcba98765432", "0"))));
  service_.RewriteSimConfig(kNoDeviceSim);
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")), Ok(Jsonp("f", StatusOnly("6"))));
}

TEST(ServiceSerialisation, SlowDeviceServesClientsOneAtATime) {
  // 362 transfers at 1 ms: each readout holds the device for about 0.4 s.
  ServiceProcess service(ServiceOptions(std::string(kTwoPointSim) + "delay_us 1000\n"));
  auto client = [] { return Exchange(Get("/?callback=f")); };
  auto first = std::async(std::launch::async, client);
  auto second = std::async(std::launch::async, client);
  EXPECT_EQ(first.get(), Ok(Jsonp("f", golden::kTwoPointExample)));
  EXPECT_EQ(second.get(), Ok(Jsonp("f", golden::kTwoPointExample)));
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  const std::string record = service.SimRecord();
  EXPECT_EQ(Count(record, "open 1"), 2u) << record;
  EXPECT_EQ(Count(record, "open 2"), 0u) << "device sessions overlapped";
  EXPECT_EQ(Count(record, "close 0"), 2u);
}

// A service limited to 24 descriptors, with more idle clients than it can hold.
class OutOfDescriptors : public ::testing::Test {
 protected:
  static ServiceOptions Limited() {
    ServiceOptions options(kTwoPointSim);
    options.max_open_files = 24;
    return options;
  }
  void SetUp() override {
    for (int i = 0; i < 40; ++i) idle_.push_back(Connect());
    std::this_thread::sleep_for(200ms);  // the accepts have hit the descriptor limit by now
  }
  void TearDown() override {
    for (int fd : idle_) close(fd);
  }
  ServiceProcess service_{Limited()};
  std::vector<int> idle_;
};

TEST_F(OutOfDescriptors, ServerWaitsWithoutSpinningAndStaysResponsive) {
  ServiceProcess& service = service_;
  const auto before = service.CpuTime();
  std::this_thread::sleep_for(1s);
  // A retry loop without a pause would burn the whole second.
  EXPECT_LT((service.CpuTime() - before).count(), 300);
  // Idle clients give way, one per pause, so a real request still gets through.
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST_F(OutOfDescriptors, StopSignalEndsServerWhileItWaits) {
  EXPECT_EQ(service_.Stop(SIGINT), 0);
  EXPECT_EQ(service_.Stderr(), "");
}

class StopSignals : public ::testing::TestWithParam<int> {};

TEST_P(StopSignals, ExitZeroSilentlyAndIdleClientClosedWithoutReply) {
  ServiceProcess service({kTwoPointSim});
  const int idle = Connect();
  ASSERT_GE(idle, 0);
  std::this_thread::sleep_for(100ms);  // let the server accept it
  EXPECT_EQ(service.Stop(GetParam()), 0);
  bool closed = false;
  EXPECT_EQ(ReadToEnd(idle, 5s, &closed), "");
  EXPECT_TRUE(closed);
  close(idle);
  EXPECT_EQ(service.Stdout(), "");
  EXPECT_EQ(service.Stderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignals, ::testing::Values(SIGINT, SIGTERM));

// Listens on the address that the service would use.
int ListenLikeTheService() {
  addrinfo hints{};
  hints.ai_flags = AI_ADDRCONFIG;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo("localhost", "5000", &hints, &found) != 0) return -1;
  const int fd = socket(found->ai_family, SOCK_STREAM, 0);
  const int one = 1;  // earlier tests leave the port in TIME_WAIT
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const int ok = bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, 4) == 0;
  freeaddrinfo(found);
  if (!ok) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(ServiceStartup, PortTakenGivesOneLineAndExitOne) {
  const int blocker = ListenLikeTheService();
  ASSERT_GE(blocker, 0);
  ServiceOptions options{kTwoPointSim};
  options.wait_until_listening = false;
  ServiceProcess service(options);
  EXPECT_EQ(service.WaitForExit(), 1);
  EXPECT_EQ(service.Stderr(), "exception: bind: Address already in use\n");
  EXPECT_EQ(service.Stdout(), "");
  close(blocker);
}

TEST(ServiceStartup, RestartRightAfterServingBinds) {
  {
    ServiceProcess service({kTwoPointSim});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Exchange(Get("/?cb=f")).substr(0, 15), "HTTP/1.0 200 OK");
    EXPECT_EQ(service.Stop(SIGINT), 0);
  }
  ServiceProcess again({kTwoPointSim});
  EXPECT_EQ(Exchange(Get("/?callback=f")), Ok(Jsonp("f", golden::kTwoPointExample)));
  EXPECT_EQ(again.Stop(SIGINT), 0);
  EXPECT_EQ(again.Stderr(), "");
}

TEST(ServiceStartup, CommandLineArgumentsAreIgnored) {
  ServiceOptions options{kTwoPointSim};
  options.arguments = {"--port", "6000", "--help", "-v"};
  ServiceProcess service(options);
  EXPECT_EQ(Exchange(Get("/?callback=f")), Ok(Jsonp("f", golden::kTwoPointExample)));
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_EQ(service.Stdout(), "");
  EXPECT_EQ(service.Stderr(), "");
}

TEST(ServiceStartup, RealHidapiWithoutDosimeterGivesStatusSix) {
  ServiceOptions options{""};
  options.preload_sim = false;
  ServiceProcess service(options);
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")), Ok(Jsonp("f", StatusOnly("6"))));
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace e2e
