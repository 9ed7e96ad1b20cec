// When to poll next: often enough that the device's 180-entry log cannot run
// over between two polls.
#pragma once

#include <chrono>
#include <optional>

namespace keeper {

inline constexpr int kDeviceLogEntries = 180;
// The interval is this fraction of the time the log takes to fill.
inline constexpr int kFillTimeDivisor = 4;
inline constexpr std::chrono::seconds kShortestInterval = std::chrono::minutes(5);
inline constexpr std::chrono::seconds kLongestInterval = std::chrono::hours(6);
inline constexpr std::chrono::seconds kIntervalWithoutPeriod = std::chrono::hours(1);
inline constexpr std::chrono::seconds kIntervalAfterFailure = std::chrono::minutes(5);

struct PollOutcomeForSchedule {
  bool failed = false;
  // The logging period of the newest point seen, in minutes; unset or
  // not positive when no period is known.
  std::optional<long long> newest_period_minutes;
};

std::chrono::seconds NextPollInterval(const PollOutcomeForSchedule& outcome,
                                      std::optional<std::chrono::seconds> every);

}  // namespace keeper
