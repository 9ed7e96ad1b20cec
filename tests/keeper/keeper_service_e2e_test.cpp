// The real keeper beside the real service with the simulated dosimeter
// preloaded. The service's port is fixed, so these tests hold port 5000's lock.
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "tests/keeper/keeper_harness.h"

namespace keeper_test {
namespace {

using namespace std::chrono_literals;

constexpr char kService[] = "localhost:5000";

bool ServiceListening() {
  // Any bytes will do: the service answers them, if only with 400.
  return !ExchangeWithLocalhost("5000", "\r\n\r\n").empty();
}

// The service with the simulator reading `script_path` (rewritten by the tests).
class Service {
 public:
  Service(const std::string& dir, const std::string& script_path)
      : process_(DOSEBRIDGE_BINARY, {},
                 {std::string("LD_PRELOAD=") + SIM_LIBRARY, "DOSEBRIDGE_SIM=" + script_path}, dir) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ServiceListening() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
  }
  ChildProcess& process() { return process_; }

 private:
  ChildProcess process_;
};

// One log entry as the device stores it: id, time (little-endian), a
// radiation word and the hourly period code.
std::string Entry(int index, int id, std::uint32_t time) {
  char text[128];
  std::snprintf(text, sizeof text,
                "entry %d 00 01 %02x %02x %02x %02x %02x 0c 00 04 00 00 00 00 00\n", index, id,
                time & 0xff, (time >> 8) & 0xff, (time >> 16) & 0xff, time >> 24);
  return text;
}

class KeeperServiceTest : public testing::Test {
 protected:
  std::string Db() const { return dir_.path() + "/readings.sqlite3"; }
  std::string Script() const { return dir_.path() + "/sim.conf"; }
  std::string Count(const std::string& where = "1") const {
    return QueryOne(Db(), "SELECT count(*) FROM readings WHERE " + where);
  }
  static nlohmann::json Poll(unsigned short port) {
    return nlohmann::json::parse(PollNow(port).body, nullptr, false);
  }

  TempDir dir_;
};

TEST_F(KeeperServiceTest, KeepsTheLogAcrossAnEraseAndKeepsDevicesApart) {
  WriteFile(Script(), "log 180\n");
  Service service(dir_.path(), Script());
  KeeperProcess keeper(Db(), kService, {"--every", "1s"});
  EXPECT_EQ(Poll(keeper.port())["Kept"], "180") << "the first poll stores the whole log";
  EXPECT_EQ(Count("serial = '0123456789abcd'"), "180");
  EXPECT_EQ(Count("time = 1396440000 AND period = 60"), "1");

  // Erased through the service: the kept readings stay.
  const std::string erased =
      ExchangeWithLocalhost("5000", "GET /Erase?callback=f HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_NE(erased.find("\"Status\": \"0\""), std::string::npos) << erased;
  EXPECT_EQ(Poll(keeper.port())["Status"], "3");
  EXPECT_EQ(Count(), "180");

  // New points after the erase join the old ones.
  const std::uint32_t later = 1396440000 + 200 * 3600;
  WriteFile(Script(), Entry(0, 1, later) + Entry(1, 2, later + 3600));
  const auto after = Poll(keeper.port());
  EXPECT_EQ(after["Stored"], "2");
  EXPECT_EQ(after["Kept"], "182");

  // Another dosimeter with the very same log is another series.
  WriteFile(Script(), "serial 11 22 33 44 55 66 77\nlog 3\n");
  const auto second = Poll(keeper.port());
  EXPECT_EQ(second["Stored"], "3");
  EXPECT_EQ(second["Kept"], "3");
  EXPECT_EQ(Count("serial = '11223344556677'"), "3");
  EXPECT_EQ(Count("serial = '0123456789abcd'"), "182");
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  EXPECT_EQ(service.process().Stop(SIGTERM), 0);
}

TEST_F(KeeperServiceTest, CatchesUpWhenTheServiceComesBack) {
  WriteFile(Script(), "log 10\n");
  auto service = std::make_unique<Service>(dir_.path(), Script());
  KeeperProcess keeper(Db(), kService, {"--every", "1s"});
  EXPECT_EQ(Poll(keeper.port())["Kept"], "10");
  EXPECT_EQ(service->process().Stop(SIGTERM), 0);
  service.reset();
  EXPECT_EQ(Poll(keeper.port())["Status"], "-1");
  EXPECT_TRUE(keeper.process().Running());

  WriteFile(Script(), "log 20\n");
  service = std::make_unique<Service>(dir_.path(), Script());
  // The keeper's own schedule (every second) catches up without being asked.
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (Count() != "20" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(Count(), "20");
  EXPECT_EQ(keeper.process().Stop(SIGINT), 0);
  EXPECT_EQ(service->process().Stop(SIGTERM), 0);
}

TEST_F(KeeperServiceTest, ANoDeviceStatusIsCountedAndRetried) {
  WriteFile(Script(), "present 0\n");
  Service service(dir_.path(), Script());
  KeeperProcess keeper(Db(), kService, {"--every", "1s"});
  EXPECT_EQ(Poll(keeper.port())["Status"], "6");
  WriteFile(Script(), "log 4\n");
  EXPECT_EQ(Poll(keeper.port())["Kept"], "4");
  const std::string metrics = Request(keeper.port(), "GET", "/metrics").body;
  EXPECT_NE(metrics.find("dosebridge_keeper_polls_total{status=\"6\"}"), std::string::npos)
      << metrics;
  EXPECT_NE(metrics.find("dosimeter_readings_kept{serial=\"0123456789abcd\"} 4\n"),
            std::string::npos)
      << metrics;
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  EXPECT_EQ(service.process().Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace keeper_test
