#include "keeper/poll_schedule.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

struct ScheduleCase {
  const char* name;
  PollOutcomeForSchedule outcome;
  std::optional<seconds> every;
  seconds expected;
};

// 180 entries × period / 4, kept between 5 minutes and 6 hours.
const ScheduleCase kCases[] = {
    {"one_minute_period", {false, 1}, {}, minutes(45)},
    {"five_minutes", {false, 5}, {}, minutes(225)},
    {"eight_minutes_reaches_six_hours", {false, 8}, {}, hours(6)},
    {"ten_minutes_capped", {false, 10}, {}, hours(6)},
    {"hourly_capped", {false, 60}, {}, hours(6)},
    {"daily_capped", {false, 1440}, {}, hours(6)},
    {"huge_period_does_not_overflow", {false, 1LL << 62}, {}, hours(6)},
    {"unknown_period", {false, -1}, {}, hours(1)},
    {"zero_period", {false, 0}, {}, hours(1)},
    {"no_points", {false, std::nullopt}, {}, hours(1)},
    {"failed_poll", {true, 60}, {}, minutes(5)},
    {"failed_without_period", {true, std::nullopt}, {}, minutes(5)},
    {"every_overrides_period", {false, 60}, seconds(30), seconds(30)},
    {"every_overrides_failure", {true, std::nullopt}, hours(2), hours(2)},
};

class PollScheduleTest : public testing::TestWithParam<ScheduleCase> {};

TEST_P(PollScheduleTest, FollowsTheIntervalRule) {
  const ScheduleCase& c = GetParam();
  EXPECT_EQ(NextPollInterval(c.outcome, c.every).count(), c.expected.count());
}

INSTANTIATE_TEST_SUITE_P(Cases, PollScheduleTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keeper
