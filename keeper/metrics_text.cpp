#include "keeper/metrics_text.h"

#include <charconv>

namespace keeper {
namespace {

std::string LabelValue(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\' || c == '"') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void AppendHeader(std::string* out, const char* name, const char* type, const char* help) {
  *out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

std::string MetricsText(const std::vector<SerialSummary>& summaries, const PollCounters& counters) {
  std::string out;
  AppendHeader(&out, "dosimeter_radiation", "gauge", "Radiation value of the newest kept reading.");
  for (const SerialSummary& s : summaries) {
    out += "dosimeter_radiation{serial=\"" + LabelValue(s.serial) + "\"} " +
           Number(s.newest_radiation) + "\n";
  }
  AppendHeader(&out, "dosimeter_reading_timestamp_seconds", "gauge",
               "Device time of the newest kept reading, in seconds since 1970.");
  for (const SerialSummary& s : summaries) {
    out += "dosimeter_reading_timestamp_seconds{serial=\"" + LabelValue(s.serial) + "\"} " +
           std::to_string(s.newest_time) + "\n";
  }
  AppendHeader(&out, "dosimeter_readings_kept", "gauge", "Readings kept in the database.");
  for (const SerialSummary& s : summaries) {
    out += "dosimeter_readings_kept{serial=\"" + LabelValue(s.serial) + "\"} " +
           std::to_string(s.kept) + "\n";
  }
  AppendHeader(&out, "dosebridge_keeper_polls_total", "counter",
               "Polls of the service, by the status it answered (-1: no readout).");
  for (const auto& [status, count] : counters.polls_by_status) {
    out += "dosebridge_keeper_polls_total{status=\"" + std::to_string(status) + "\"} " +
           std::to_string(count) + "\n";
  }
  AppendHeader(&out, "dosebridge_keeper_store_failures_total", "counter",
               "Polls whose readings the database could not take.");
  out += "dosebridge_keeper_store_failures_total " + std::to_string(counters.store_failures) + "\n";
  return out;
}

}  // namespace keeper
