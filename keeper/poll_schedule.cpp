#include "keeper/poll_schedule.h"

#include <algorithm>

namespace keeper {

std::chrono::seconds NextPollInterval(const PollOutcomeForSchedule& outcome,
                                      std::optional<std::chrono::seconds> every) {
  if (every) return *every;
  if (outcome.failed) return kIntervalAfterFailure;
  if (!outcome.newest_period_minutes || *outcome.newest_period_minutes <= 0) {
    return kIntervalWithoutPeriod;
  }
  // Clamp the period first, so that no period can overflow the product.
  const long long past_longest =
      kLongestInterval.count() / 60 * kFillTimeDivisor / kDeviceLogEntries + 1;
  const long long period_seconds = std::min(*outcome.newest_period_minutes, past_longest) * 60;
  const std::chrono::seconds fill_quarter(period_seconds * kDeviceLogEntries / kFillTimeDivisor);
  return std::clamp(fill_quarter, kShortestInterval, kLongestInterval);
}

}  // namespace keeper
