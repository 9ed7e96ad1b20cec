// The real keeper against a stub service on an ephemeral port.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>

#include "tests/keeper/keeper_harness.h"

namespace keeper_test {
namespace {

using namespace std::chrono_literals;

constexpr char kSerial[] = "0123456789abcd";

std::vector<Point> HourlyPoints(int first, int count) {
  std::vector<Point> points;
  for (int i = first; i < first + count; ++i) {
    points.push_back({std::to_string(i % 128), std::to_string(1396440000 + 3600 * i),
                      i % 2 ? "0.13" : "0.1200000000000000", "60"});
  }
  return points;
}

nlohmann::json Json(const HttpReply& reply) {
  return nlohmann::json::parse(reply.body, nullptr, false);
}

class KeeperE2eTest : public testing::Test {
 protected:
  std::string Db() const { return dir_.path() + "/state/readings.sqlite3"; }
  std::string Count() const { return QueryOne(Db(), "SELECT count(*) FROM readings"); }

  TempDir dir_;
  StubService service_;
};

TEST_F(KeeperE2eTest, FirstPollStoresTheLogAndLaterPollsOnlyWhatIsNew) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 3)));
  KeeperProcess keeper(Db(), service_.address());
  // The poll at start stores the log by itself.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (Count() != "3" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  HttpReply reply = PollNow(keeper.port());
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(reply.body, R"({"Status":"0","Stored":"0","Kept":"3"})");
  EXPECT_NE(reply.head.find("Content-Type: application/json"), std::string::npos);
  EXPECT_EQ(reply.head.find("Access-Control"), std::string::npos);
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(1, 4)));
  EXPECT_EQ(PollNow(keeper.port()).body, R"({"Status":"0","Stored":"2","Kept":"5"})");
  EXPECT_EQ(Count(), "5");
  EXPECT_EQ(QueryOne(Db(), "SELECT radiation FROM readings WHERE time = 1396440000"),
            "0.1200000000000000");
  EXPECT_EQ(QueryOne(Db(), "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
}

struct BadAnswer {
  const char* name;
  std::string body;
  const char* status;
};

// Each is a failed poll; none leaves anything stored.
TEST_F(KeeperE2eTest, MalformedAnswersAreFailedPollsThatStoreNothing) {
  const std::string good = ReadoutBody(kSerial, HourlyPoints(0, 2));
  std::vector<Point> one_bad = HourlyPoints(10, 3);
  one_bad[2].time = "later";
  const BadAnswer answers[] = {
      {"not_jsonp", "<html>oops</html>", "-1"},
      {"empty", "", "-1"},
      {"truncated", good.substr(0, good.size() / 2), "-1"},
      {"one_bad_point_among_good", ReadoutBody(kSerial, one_bad), "-1"},
      {"no_serial",
       R"(k({"RadiationPoints":[{"id":"1","time":"5","radiation":"0.1","period":"60"}],"Status":"0"});)",
       "-1"},
      {"status_as_number", R"(k({"Status":0});)", "-1"},
      {"device_failure", ReadoutBody(kSerial, {}, "5"), "5"},
      {"no_device", R"(k({"Status":"6"});)", "6"},
  };
  service_.SetBody(good);
  KeeperProcess keeper(Db(), service_.address());
  ASSERT_EQ(PollNow(keeper.port()).status, 200);
  ASSERT_EQ(Count(), "2");
  for (const BadAnswer& answer : answers) {
    service_.SetBody(answer.body);
    const HttpReply reply = PollNow(keeper.port());
    EXPECT_EQ(reply.status, 200) << answer.name;
    EXPECT_EQ(Json(reply)["Status"], answer.status) << answer.name;
    EXPECT_EQ(Json(reply)["Stored"], "0") << answer.name;
    EXPECT_EQ(Count(), "2") << answer.name;
  }
  const std::string metrics = Request(keeper.port(), "GET", "/metrics").body;
  EXPECT_NE(metrics.find("dosebridge_keeper_polls_total{status=\"-1\"} 6\n"), std::string::npos)
      << metrics;
  EXPECT_NE(metrics.find("dosebridge_keeper_polls_total{status=\"5\"} 1\n"), std::string::npos);
  EXPECT_NE(metrics.find("dosimeter_readings_kept{serial=\"0123456789abcd\"} 2\n"),
            std::string::npos);
  EXPECT_EQ(keeper.process().Stop(SIGINT), 0);
}

TEST_F(KeeperE2eTest, AnEmptyLogIsANormalPoll) {
  service_.SetBody(ReadoutBody(kSerial, {}, "3"));
  KeeperProcess keeper(Db(), service_.address());
  EXPECT_EQ(PollNow(keeper.port()).body, R"({"Status":"3","Stored":"0","Kept":"0"})");
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  EXPECT_EQ(keeper.process().Stderr().find("does not answer"), std::string::npos);
}

TEST_F(KeeperE2eTest, CatchesUpWhenTheServiceReturnsAndLogsEachChangeOnce) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 2)));
  KeeperProcess keeper(Db(), service_.address(), {"--every", "1s"});
  ASSERT_EQ(PollNow(keeper.port()).status, 200);
  service_.Pause();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Json(PollNow(keeper.port()))["Status"], "-1");
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 4)));
  service_.Resume();
  EXPECT_EQ(PollNow(keeper.port()).body, R"({"Status":"0","Stored":"2","Kept":"4"})");
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  const std::string log = keeper.process().Stderr();
  // Start-up line, then: succeed, fail, succeed again.
  int lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(lines, 4) << log;
  EXPECT_NE(log.find("the service does not answer"), std::string::npos) << log;
}

TEST_F(KeeperE2eTest, PollsOnItsOwnEverySecond) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 1)));
  KeeperProcess keeper(Db(), service_.address(), {"--every", "1s"});
  const auto wait_for = [&](const std::string& count) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (Count() != count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50ms);
    }
    return Count();
  };
  EXPECT_EQ(wait_for("1"), "1");
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 2)));
  EXPECT_EQ(wait_for("2"), "2");
}

TEST_F(KeeperE2eTest, ALockedDatabaseDelaysTheStoreAndLosesNothing) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 2)));
  KeeperProcess keeper(Db(), service_.address());
  ASSERT_EQ(Json(PollNow(keeper.port()))["Kept"], "2");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Db().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 3)));
  const HttpReply locked = PollNow(keeper.port());
  EXPECT_EQ(locked.status, 503) << locked.body;
  EXPECT_EQ(Json(locked)["Stored"], "0");
  EXPECT_NE(locked.body.find("locked"), std::string::npos) << locked.body;
  // The history still reads while the lock is held.
  EXPECT_EQ(Json(Request(keeper.port(), "GET", "/api/history"))["Readings"].size(), 2u);
  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // The device was erased meanwhile: the held reading still reaches the disk.
  service_.SetBody(ReadoutBody(kSerial, {}, "3"));
  EXPECT_EQ(PollNow(keeper.port()).body, R"({"Status":"3","Stored":"1","Kept":"3"})");
  EXPECT_EQ(Count(), "3");
  EXPECT_TRUE(keeper.process().Running());
}

TEST_F(KeeperE2eTest, AnUnwritablePlaceGetsALogLineAndPollingGoesOn) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 2)));
  KeeperProcess keeper("/dev/null/readings.sqlite3", service_.address());
  const HttpReply reply = PollNow(keeper.port());
  EXPECT_EQ(reply.status, 503);
  EXPECT_EQ(Json(reply)["Status"], "0");
  EXPECT_EQ(PollNow(keeper.port()).status, 503);
  EXPECT_TRUE(keeper.process().Running());
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  EXPECT_NE(keeper.process().Stderr().find("cannot store readings"), std::string::npos)
      << keeper.process().Stderr();
}

// A tiny file system of its own, in a mount namespace, fills up after a few polls.
TEST_F(KeeperE2eTest, AFullDiskGetsALogLineAndPollingGoesOn) {
  const std::string mount = dir_.path() + "/small";
  std::filesystem::create_directories(mount);
  if (std::system("unshare -rm true 2>/dev/null") != 0) {
    GTEST_SKIP() << "no mount namespaces here";
  }
  service_.SetBody(ReadoutBody(kSerial, {}, "3"));
  KeeperProcess keeper(mount + "/readings.sqlite3", service_.address(), {},
                       {"/usr/bin/unshare", "-rm", "sh", "-c",
                        "mount -t tmpfs -o size=128k tmpfs \"$0\" && exec \"$@\"", mount});
  std::int64_t stored = 0;
  HttpReply reply;
  for (int poll = 0; poll < 100; ++poll) {
    service_.SetBody(ReadoutBody(kSerial, HourlyPoints(180 * poll, 180)));
    reply = PollNow(keeper.port());
    if (reply.status != 200) break;
    stored += std::stoll(Json(reply)["Stored"].get<std::string>());
  }
  ASSERT_EQ(reply.status, 503) << "the disk never filled";
  EXPECT_NE(reply.body.find("full"), std::string::npos) << reply.body;
  EXPECT_GT(stored, 0);
  // Still polling and serving; what was stored before is all there.
  EXPECT_EQ(Json(PollNow(keeper.port()))["Status"], "0");
  EXPECT_EQ(Json(Request(keeper.port(), "GET", "/api/history"))["Readings"].size(),
            static_cast<std::size_t>(stored));
  EXPECT_TRUE(keeper.process().Running());
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  EXPECT_NE(keeper.process().Stderr().find("cannot store readings"), std::string::npos)
      << keeper.process().Stderr();
}

TEST_F(KeeperE2eTest, RefusesFilesThatAreNotItsDatabaseAndLeavesThemAlone) {
  const std::string text = dir_.path() + "/notes.txt";
  WriteFile(text, "my notes\n");
  const std::string foreign = dir_.path() + "/other.sqlite3";
  {
    sqlite3* db = nullptr;
    sqlite3_open(foreign.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  const std::string damaged = dir_.path() + "/damaged.sqlite3";
  {
    KeeperProcess keeper(damaged, service_.address());
    EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
  }
  // A clean stop leaves everything in the main file.
  ASSERT_FALSE(std::filesystem::exists(damaged + "-wal"));
  std::string bytes = ReadFile(damaged);
  ASSERT_GE(bytes.size(), 4096u);
  // Keep the header (and so the keeper's mark); ruin the schema page.
  for (std::size_t i = 100; i < 4096; ++i) bytes[i] = '\xff';
  WriteFile(damaged, bytes);
  for (const std::string& path : {text, foreign, damaged}) {
    const std::string before = ReadFile(path);
    TempDir out;
    ChildProcess run(KEEPER_BINARY,
                     {"--db", path, "--service", service_.address(), "--listen", "127.0.0.1:0"}, {},
                     out.path());
    EXPECT_EQ(run.WaitForExit(), 1) << path;
    EXPECT_NE(run.Stderr().find(path), std::string::npos) << run.Stderr();
    std::string csv, err;
    EXPECT_EQ(RunExport({"--db", path}, &csv, &err), 1) << path;
    EXPECT_EQ(csv, "");
    EXPECT_EQ(ReadFile(path), before) << path;
  }
}

TEST_F(KeeperE2eTest, KillDuringPollsLosesOnlyThePollInFlight) {
  std::mt19937 random(11);
  int points = 0;
  for (int round = 0; round < 4; ++round) {
    KeeperProcess keeper(Db(), service_.address(), {"--every", "1s"});
    std::vector<std::thread> pollers;
    std::atomic<bool> go{true};
    for (int t = 0; t < 2; ++t) {
      pollers.emplace_back([&] {
        while (go) PollNow(keeper.port());
      });
    }
    // The log grows while polls run; kill -9 lands somewhere among them.
    const int steps = 5 + static_cast<int>(random() % 10);
    for (int step = 0; step < steps; ++step) {
      points += 7;
      service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, points)));
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
    }
    keeper.process().Stop(SIGKILL);
    go = false;
    for (std::thread& t : pollers) t.join();
    EXPECT_EQ(QueryOne(Db(), "PRAGMA integrity_check"), "ok");
  }
  KeeperProcess keeper(Db(), service_.address());
  EXPECT_EQ(Json(PollNow(keeper.port()))["Kept"], std::to_string(points));
  EXPECT_EQ(Count(), std::to_string(points));
  EXPECT_EQ(QueryOne(Db(), "SELECT count(DISTINCT time) FROM readings"), std::to_string(points));
}

TEST_F(KeeperE2eTest, ExportWritesCsvWhileTheKeeperRuns) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 3)));
  KeeperProcess keeper(Db(), service_.address());
  ASSERT_EQ(PollNow(keeper.port()).status, 200);
  std::string csv, err;
  EXPECT_EQ(RunExport({"--db", Db()}, &csv, &err), 0) << err;
  EXPECT_EQ(csv,
            "serial,id,time,time_utc,radiation,period\n"
            "0123456789abcd,0,1396440000,2014-04-02T12:00:00Z,0.1200000000000000,60\n"
            "0123456789abcd,1,1396443600,2014-04-02T13:00:00Z,0.13,60\n"
            "0123456789abcd,2,1396447200,2014-04-02T14:00:00Z,0.1200000000000000,60\n");
  EXPECT_EQ(RunExport({"--since", "1396447200", "--db", Db()}, &csv, &err), 0);
  EXPECT_EQ(csv,
            "serial,id,time,time_utc,radiation,period\n"
            "0123456789abcd,2,1396447200,2014-04-02T14:00:00Z,0.1200000000000000,60\n");
}

TEST_F(KeeperE2eTest, ExportBeforeAnyPollIsTheHeaderAloneAndMakesNoFile) {
  const std::string path = dir_.path() + "/none.sqlite3";
  std::string csv, err;
  EXPECT_EQ(RunExport({"--db", path}, &csv, &err), 0) << err;
  EXPECT_EQ(csv, "serial,id,time,time_utc,radiation,period\n");
  EXPECT_NE(err.find("nothing kept yet"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(path));
}

struct RouteCase {
  const char* name;
  std::string method, target, host;
  int status;
};

TEST_F(KeeperE2eTest, RoutesAnswerWithTheRightStatus) {
  const std::string web = dir_.path() + "/web";
  std::filesystem::create_directories(web);
  WriteFile(web + "/index.html", "<title>viewer</title>");
  WriteFile(dir_.path() + "/secret.txt", "secret");
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 3)));
  KeeperProcess keeper(Db(), service_.address(), {"--web", web});
  const std::string host = "localhost:" + std::to_string(keeper.port());
  const RouteCase cases[] = {
      {"viewer", "GET", "/", "", 200},
      {"viewer_over_ipv4_name", "GET", "/index.html", "127.0.0.1:" + std::to_string(keeper.port()),
       200},
      {"history", "GET", "/api/history", "", 200},
      {"history_since", "GET", "/api/history?since=1396443600", "", 200},
      {"metrics_from_the_lan", "GET", "/metrics", "192.168.1.7:5001", 200},
      {"bad_since", "GET", "/api/history?since=yesterday", "", 400},
      {"bad_escape", "GET", "/api/history?since=%G1", "", 400},
      {"huge_query", "GET", "/api/history?since=" + std::string(6000, '1'), "", 414},
      {"foreign_host", "GET", "/api/history", "evil.example:" + std::to_string(keeper.port()), 403},
      {"foreign_host_page", "GET", "/", "attacker.example", 403},
      {"foreign_host_poll", "POST", "/api/poll", "evil.example", 403},
      {"wrong_method_history", "DELETE", "/api/history", "", 405},
      {"wrong_method_poll", "GET", "/api/poll", "", 405},
      {"wrong_method_page", "POST", "/", "", 405},
      {"unknown_api", "GET", "/api/nothing", "", 404},
      {"unknown_file", "GET", "/nothing.html", "", 404},
      {"escape_from_web", "GET", "/../secret.txt", "", 404},
  };
  for (const RouteCase& c : cases) {
    const HttpReply reply = Request(keeper.port(), c.method, c.target, c.host);
    EXPECT_EQ(reply.status, c.status) << c.name << "\n" << reply.head;
    EXPECT_EQ(reply.head.find("Access-Control"), std::string::npos) << c.name;
  }
  EXPECT_EQ(Request(keeper.port(), "GET", "/").body, "<title>viewer</title>");
  const auto history = Json(Request(keeper.port(), "GET", "/api/history?since=1396443600"));
  ASSERT_EQ(history["Readings"].size(), 2u);
  EXPECT_EQ(history["Readings"][0], (nlohmann::json{{"serial", kSerial},
                                                    {"id", "1"},
                                                    {"time", "1396443600"},
                                                    {"radiation", "0.13"},
                                                    {"period", "60"}}));
  EXPECT_NE(Request(keeper.port(), "GET", "/api/poll").head.find("Allow: POST"), std::string::npos);
  // Not HTTP at all, and a head beyond the limit.
  EXPECT_EQ(ExchangeRaw(keeper.port(), "hello\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
  EXPECT_EQ(ExchangeRaw(keeper.port(), "GET / HTTP/1.1\r\nHost: " + host +
                                           "\r\nX-Big: " + std::string(20000, 'x') + "\r\n\r\n")
                .substr(0, 12),
            "HTTP/1.1 431");
  EXPECT_EQ(ExchangeRaw(keeper.port(), "POST /api/poll HTTP/1.1\r\nHost: " + host +
                                           "\r\nContent-Length: 100000\r\n\r\n" +
                                           std::string(100000, 'x'))
                .substr(0, 12),
            "HTTP/1.1 413");
  EXPECT_EQ(Request(keeper.port(), "GET", "/").status, 200) << "still serving";
  EXPECT_EQ(keeper.process().Stop(SIGTERM), 0);
}

TEST_F(KeeperE2eTest, ConcurrentPollRequestsShareOnePoll) {
  service_.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 3)));
  KeeperProcess keeper(Db(), service_.address(), {"--every", "2h"});
  ASSERT_EQ(PollNow(keeper.port()).status, 200);
  const int before = service_.requests();
  std::vector<std::thread> clients;
  std::atomic<int> ok{0};
  for (int i = 0; i < 8; ++i) {
    clients.emplace_back([&] { ok += PollNow(keeper.port()).status == 200; });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(ok, 8);
  EXPECT_LT(service_.requests() - before, 8);
}

struct BadCommandLine {
  std::vector<std::string> arguments;
};

TEST(KeeperCommandLineTest, BadOptionsGiveUsageAndExitTwo) {
  const std::vector<std::vector<std::string>> cases = {{"--bogus"},
                                                       {"--every", "soon"},
                                                       {"--listen", "nowhere"},
                                                       {"export", "--every", "1s"},
                                                       {"export", "--since", "x"},
                                                       {"surplus"}};
  for (const auto& arguments : cases) {
    TempDir out;
    ChildProcess run(KEEPER_BINARY, arguments, {}, out.path());
    EXPECT_EQ(run.WaitForExit(), 2) << arguments[0];
    EXPECT_NE(run.Stderr().find("usage: dosebridge-keeper"), std::string::npos) << run.Stderr();
  }
  TempDir out;
  ChildProcess help(KEEPER_BINARY, {"--help"}, {}, out.path());
  EXPECT_EQ(help.WaitForExit(), 0);
  EXPECT_NE(help.Stdout().find("usage: dosebridge-keeper"), std::string::npos);
}

TEST(KeeperCommandLineTest, DefaultDatabaseFollowsXdgStateHome) {
  TempDir state;
  StubService service;
  service.SetBody(ReadoutBody(kSerial, HourlyPoints(0, 2)));
  ChildProcess run(KEEPER_BINARY, {"--service", service.address(), "--listen", "127.0.0.1:0"},
                   {"XDG_STATE_HOME=" + state.path()}, state.path());
  const std::string db = state.path() + "/dosebridge/readings.sqlite3";
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (QueryOne(db, "SELECT count(*) FROM readings") != "2" &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM readings"), "2");
  EXPECT_EQ(run.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace keeper_test
