// Metrics in the Prometheus text exposition format 0.0.4.
#pragma once

#include <string>
#include <vector>

#include "keeper/poller.h"
#include "keeper/reading_store.h"

namespace keeper {

inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

std::string MetricsText(const std::vector<SerialSummary>& summaries, const PollCounters& counters);

}  // namespace keeper
