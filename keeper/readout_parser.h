// Reads the service's JSONP readout into readings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "keeper/reading.h"

namespace keeper {

// The callback name the keeper asks the service to wrap its readout in.
inline constexpr char kReadoutCallback[] = "k";
// The service's status for a readout of an empty log.
inline constexpr int kStatusEmptyLog = 3;
inline constexpr int kStatusOk = 0;

struct Readout {
  int status = 0;
  std::string serial;  // empty when the document names no device
  std::vector<Reading> readings;
};

// nullopt when the body is not a well-formed readout; then nothing of it counts.
std::optional<Readout> ParseReadout(const std::string& body);

}  // namespace keeper
