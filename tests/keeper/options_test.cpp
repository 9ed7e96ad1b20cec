#include "keeper/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace keeper {
namespace {

ParsedOptions Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "dosebridge-keeper");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  return ParseOptions(static_cast<int>(words.size()), argv.data());
}

TEST(OptionsTest, DefaultsToLocalhostPorts) {
  const ParsedOptions parsed = Parse({});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.mode, KeeperOptions::Mode::kRun);
  EXPECT_EQ(parsed.options.service.host, "localhost");
  EXPECT_EQ(parsed.options.service.port, "5000");
  EXPECT_EQ(parsed.options.listen.host, "localhost");
  EXPECT_EQ(parsed.options.listen.port, "5001");
  EXPECT_EQ(parsed.options.db_path, "");
  EXPECT_FALSE(parsed.options.every);
}

TEST(OptionsTest, ReadsEveryOption) {
  const ParsedOptions parsed = Parse({"--db", "/tmp/x.sqlite3", "--service=127.0.0.1:6000",
                                      "--listen", "[::1]:0", "--web", "/srv/web", "--every", "2h"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.db_path, "/tmp/x.sqlite3");
  EXPECT_EQ(parsed.options.service.host, "127.0.0.1");
  EXPECT_EQ(parsed.options.service.port, "6000");
  EXPECT_EQ(parsed.options.listen.host, "::1");
  EXPECT_EQ(parsed.options.listen.port, "0");
  EXPECT_EQ(parsed.options.web_dir, "/srv/web");
  EXPECT_EQ(parsed.options.every->count(), 7200);
}

TEST(OptionsTest, ExportTakesDbAndSince) {
  const ParsedOptions parsed = Parse({"export", "--db", "h.sqlite3", "--since", "1396440000"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.mode, KeeperOptions::Mode::kExport);
  EXPECT_EQ(parsed.options.db_path, "h.sqlite3");
  EXPECT_EQ(parsed.options.since, 1396440000);
}

class BadOptionsTest : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadOptionsTest, IsRefused) {
  EXPECT_NE(Parse(GetParam()).error, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, BadOptionsTest,
                         testing::Values(std::vector<std::string>{"--bogus"},
                                         std::vector<std::string>{"--db"},
                                         std::vector<std::string>{"--db", ""},
                                         std::vector<std::string>{"stray"},
                                         std::vector<std::string>{"--every", "10"},
                                         std::vector<std::string>{"--every", "0s"},
                                         std::vector<std::string>{"--every", "-5m"},
                                         std::vector<std::string>{"--every", "1d"},
                                         std::vector<std::string>{"--listen", "5001"},
                                         std::vector<std::string>{"--listen", "localhost:70000"},
                                         std::vector<std::string>{"--listen", "::1:5001"},
                                         std::vector<std::string>{"--service", "localhost:0"},
                                         std::vector<std::string>{"--since", "5"},
                                         std::vector<std::string>{"export", "--every", "1s"},
                                         std::vector<std::string>{"export", "--since", "yesterday"},
                                         std::vector<std::string>{"export", "--since", "-1"},
                                         std::vector<std::string>{"export", "extra"}));

}  // namespace
}  // namespace keeper
