// The real binary over real sockets, with the simulated dosimeter preloaded.
#include <gtest/gtest.h>
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "tests/e2e/service_process.h"
#include "tests/golden/documents.h"
#include "tests/http/stock_reply.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using client::End;
using golden::InfoAndStatus;
using golden::StatusOnly;

const char kTwoPointSim[] =
    "serial 01 23 45 67 89 ab cd\n"
    "entry 0 00 01 01 c0 fb 3b 53 0c 00 00 00 00 00 00 00\n"
    "entry 1 00 01 02 fc fb 3b 53 52 80 04 00 00 00 00 00\n";
const char kNoDeviceSim[] = "present 0\n";

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

TEST_P(Routes, ExactReplyBytesThenEndOfStream) {
  ServiceProcess service({GetParam().sim});
  EXPECT_EQ(Exchange(GetParam().request), GetParam().reply);
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_EQ(service.Stderr(), "");
  // Every device session was closed again.
  const std::string record = service.SimRecord();
  EXPECT_EQ(Count(record, "open 1"), Count(record, "close 0")) << record;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Routes,
    ::testing::Values(
        RouteCase{"readout", kTwoPointSim, Get("/?callback=f"),
                  Ok(Jsonp("f", golden::kTwoPointExample))},
        RouteCase{"device information", kTwoPointSim, Get("/GetDeviceInfo?callback=cb"),
                  Ok(Jsonp("cb", InfoAndStatus("0123456789abcd", "0")))},
        RouteCase{"erase", kTwoPointSim, Get("/Erase?cb=f"),
                  Ok("f({\n    \"Status\": \"0\"\n}\n);")},
        RouteCase{"empty log", "", Get("/?cb=f"),
                  Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "3")))},
        RouteCase{"no device", kNoDeviceSim, Get("/GetDeviceInfo?callback=f"),
                  Ok(Jsonp("f", StatusOnly("6")))},
        RouteCase{"malformed head", kTwoPointSim, "GET / HTTP/1.0\n\n", stock::kBadRequestReply},
        RouteCase{"malformed escape", kTwoPointSim, Get("/?cb=%zz"), stock::kBadRequestReply},
        RouteCase{"HTTP/1.0 without headers", kNoDeviceSim, "GET /?cb=f HTTP/1.0\r\n\r\n",
                  Ok(Jsonp("f", StatusOnly("6")))}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Service, SimulatorChangesBetweenRequests) {
  ServiceProcess service({kTwoPointSim});
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  service.RewriteSimConfig("serial fe dc ba 98 76 54 32\n");
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("fedcba98765432", "0"))));
  service.RewriteSimConfig(kNoDeviceSim);
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")), Ok(Jsonp("f", StatusOnly("6"))));
  EXPECT_EQ(service.Stop(SIGTERM), 0);
}

TEST(Service, ExceptionWhileServingEndsWithOneLineAndExitOne) {
  ServiceProcess service({"throw bad_alloc\n"});
  const client::Socket socket = Connect();
  client::SendAll(socket, Get("/?callback=f"));
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(socket, 10s, &end), "");
  EXPECT_NE(end, End::kTimeOut);
  EXPECT_EQ(service.WaitForExit(), 1);
  EXPECT_EQ(service.Stderr(), "exception: std::bad_alloc\n");
  EXPECT_EQ(service.Stdout(), "");
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
  ServiceProcess service_{Limited()};
  std::vector<client::Socket> idle_;
};

TEST_F(OutOfDescriptors, ServerWaitsWithoutSpinningAndStaysResponsive) {
  const auto before = service_.CpuTime();
  std::this_thread::sleep_for(1s);
  // A retry loop without a pause would burn the whole second.
  EXPECT_LT((service_.CpuTime() - before).count(), 300);
  // Idle clients give way, so a real request still gets through.
  EXPECT_EQ(Exchange(Get("/GetDeviceInfo?callback=f")),
            Ok(Jsonp("f", InfoAndStatus("0123456789abcd", "0"))));
  EXPECT_EQ(service_.Stop(SIGTERM), 0);
}

TEST_F(OutOfDescriptors, StopSignalEndsServerWhileItWaits) {
  EXPECT_EQ(service_.Stop(SIGINT), 0);
  EXPECT_EQ(service_.Stderr(), "");
}

class StopSignals : public ::testing::TestWithParam<int> {};

TEST_P(StopSignals, ExitZeroSilentlyAndIdleClientClosedWithoutReply) {
  ServiceProcess service({kTwoPointSim});
  const client::Socket idle = Connect();
  ASSERT_TRUE(idle.is_open());
  std::this_thread::sleep_for(100ms);  // let the server accept it
  EXPECT_EQ(service.Stop(GetParam()), 0);
  End end = End::kTimeOut;
  EXPECT_EQ(client::ReadToEnd(idle, 5s, &end), "");
  EXPECT_EQ(end, End::kEndOfStream);
  EXPECT_EQ(service.Stdout(), "");
  EXPECT_EQ(service.Stderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignals, ::testing::Values(SIGINT, SIGTERM));

// Listens on the address that the service would use.
client::Socket ListenLikeTheService() {
  addrinfo hints{};
  hints.ai_flags = AI_ADDRCONFIG;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(kService.host.c_str(), kService.port.c_str(), &hints, &found) != 0)
    return client::Socket();
  client::Socket listener(socket(found->ai_family, SOCK_STREAM, 0));
  const int one = 1;  // earlier tests leave the port in TIME_WAIT
  setsockopt(listener.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const bool ok =
      bind(listener.fd(), found->ai_addr, found->ai_addrlen) == 0 && listen(listener.fd(), 4) == 0;
  freeaddrinfo(found);
  return ok ? std::move(listener) : client::Socket();
}

TEST(ServiceStartup, PortTakenGivesOneLineAndExitOne) {
  const client::Socket blocker = ListenLikeTheService();
  ASSERT_TRUE(blocker.is_open());
  ServiceOptions options{kTwoPointSim};
  options.wait_until_listening = false;
  ServiceProcess service(options);
  EXPECT_EQ(service.WaitForExit(), 1);
  EXPECT_EQ(service.Stderr(), "exception: bind: Address already in use\n");
  EXPECT_EQ(service.Stdout(), "");
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
