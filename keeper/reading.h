// One reading as the service shows it. The texts are kept exactly as received.
#pragma once

#include <cstdint>
#include <string>

namespace keeper {

struct Reading {
  std::string serial;
  std::string id;
  std::int64_t time = 0;  // seconds since 1970
  std::string radiation;  // the service's text
  double radiation_value = 0;
  std::int64_t period = 0;  // minutes; -1 when unknown
};

}  // namespace keeper
