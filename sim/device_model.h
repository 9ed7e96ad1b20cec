// The simulated device's state, shared by the scripting API, the hidapi entry
// points and the config-file loader.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/sim.h"

struct hid_device_ {
  int serial;
};

namespace sim {

struct Fault {
  Transfer transfer;
  std::uint8_t command;
  int index;
  int result;
};

struct Model {
  Model() { ResetScript(); }

  std::mutex mutex;
  // Scripted behaviour.
  bool present = true;
  bool throw_on_open = false;
  Report identify_answer{};
  Serial serial{};
  std::array<Report, kEntries> entries{};
  std::vector<Fault> faults;
  std::atomic<long long> delay_us{0};  // read without the lock, at every transfer
  // The last request that reached the device; it decides the next answer.
  Report current_request{};
  bool has_request = false;
  // The last request the host sent, delivered or not; fetch faults match it.
  Report last_sent{};
  bool has_sent = false;
  // Records. A preloaded simulator keeps no history: it would grow without end.
  bool keep_history = true;
  std::vector<SentRequest> sent;
  std::vector<bool> fetch_zeroed;
  std::set<hid_device_*> open;
  int max_open = 0;
  int open_calls = 0;
  int stale_calls = 0;
  int next_serial = 1;
  std::FILE* record = nullptr;  // event trail for tests that run the real binary

  void ResetScript();
  const Fault* FindFault(Transfer transfer, const std::uint8_t* request) const;
  Report AnswerFor(const Report& request) const;
  void Record(const char* format, ...);
};

Model& TheModel();

}  // namespace sim
