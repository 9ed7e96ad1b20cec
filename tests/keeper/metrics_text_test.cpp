#include "keeper/metrics_text.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

TEST(MetricsTextTest, WritesTheExpositionFormat) {
  PollCounters counters;
  counters.polls_by_status = {{-1, 2}, {0, 5}};
  counters.store_failures = 1;
  const std::string text =
      MetricsText({{"0123456789abcd", 180, 0.12, 1396440000}, {"we\"ird", 1, 2.5, 7}}, counters);
  EXPECT_EQ(text,
            "# HELP dosimeter_radiation Radiation value of the newest kept reading.\n"
            "# TYPE dosimeter_radiation gauge\n"
            "dosimeter_radiation{serial=\"0123456789abcd\"} 0.12\n"
            "dosimeter_radiation{serial=\"we\\\"ird\"} 2.5\n"
            "# HELP dosimeter_reading_timestamp_seconds Device time of the newest kept reading, "
            "in seconds since 1970.\n"
            "# TYPE dosimeter_reading_timestamp_seconds gauge\n"
            "dosimeter_reading_timestamp_seconds{serial=\"0123456789abcd\"} 1396440000\n"
            "dosimeter_reading_timestamp_seconds{serial=\"we\\\"ird\"} 7\n"
            "# HELP dosimeter_readings_kept Readings kept in the database.\n"
            "# TYPE dosimeter_readings_kept gauge\n"
            "dosimeter_readings_kept{serial=\"0123456789abcd\"} 180\n"
            "dosimeter_readings_kept{serial=\"we\\\"ird\"} 1\n"
            "# HELP dosebridge_keeper_polls_total Polls of the service, by the status it "
            "answered (-1: no readout).\n"
            "# TYPE dosebridge_keeper_polls_total counter\n"
            "dosebridge_keeper_polls_total{status=\"-1\"} 2\n"
            "dosebridge_keeper_polls_total{status=\"0\"} 5\n"
            "# HELP dosebridge_keeper_store_failures_total Polls whose readings the database "
            "could not take.\n"
            "# TYPE dosebridge_keeper_store_failures_total counter\n"
            "dosebridge_keeper_store_failures_total 1\n");
}

}  // namespace
}  // namespace keeper
