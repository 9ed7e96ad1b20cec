// Asks the dosebridge service for its readout over HTTP.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "keeper/duration_text.h"

namespace keeper {

// Reading a real device's 180 entries takes seconds; more means something hangs.
inline constexpr std::chrono::seconds kServiceTimeout{30};
// A full readout is about 25 KiB.
inline constexpr std::size_t kMaxReadoutBytes = 1 << 20;

struct ServiceAnswer {
  std::string body;   // set when the service answered 200
  std::string error;  // otherwise: why not
};

class ServiceClient {
 public:
  explicit ServiceClient(HostPort service) : service_(std::move(service)) {}
  // Blocks for at most kServiceTimeout. Safe to call from one thread at a time.
  ServiceAnswer FetchReadout();
  // From any thread: ends a fetch in progress at once.
  void Cancel();

 private:
  struct State;
  HostPort service_;
  std::shared_ptr<State> state_ = MakeState();
  static std::shared_ptr<State> MakeState();
};

}  // namespace keeper
