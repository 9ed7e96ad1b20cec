#include "keeper/duration_text.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

TEST(DurationTextTest, ReadsSecondsMinutesAndHours) {
  const std::pair<const char*, long long> cases[] = {
      {"1s", 1}, {"30s", 30}, {"10m", 600}, {"2h", 7200}, {"8784h", 8784 * 3600}};
  for (const auto& [text, seconds] : cases) {
    const auto duration = ParseDuration(text);
    ASSERT_TRUE(duration) << text;
    EXPECT_EQ(duration->count(), seconds) << text;
  }
}

TEST(DurationTextTest, RefusesWhatIsNotADuration) {
  for (const char* text :
       {"", "s", "5", "0s", "-1s", "+1s", "1.5h", "1x", "1 s", "8785h", "99999999999999999999s"}) {
    EXPECT_FALSE(ParseDuration(text)) << text;
  }
}

TEST(DurationTextTest, SplitsHostAndPort) {
  const auto v6 = ParseHostPort("[::1]:5001");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host, "::1");
  EXPECT_EQ(v6->port, "5001");
  EXPECT_EQ(UrlHost(v6->host), "[::1]");
  const auto name = ParseHostPort("localhost:0");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->host, "localhost");
  EXPECT_EQ(name->port, "0");
  EXPECT_EQ(UrlHost(name->host), "localhost");
  for (const char* text : {"", ":5001", "localhost", "localhost:", "localhost:x", "[::1]", "[]:1",
                           "::1:5001", "host:65536"}) {
    EXPECT_FALSE(ParseHostPort(text)) << text;
  }
}

}  // namespace
}  // namespace keeper
