// Polls the service on schedule or on request, and keeps what it finds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "keeper/reading.h"
#include "keeper/reading_store.h"
#include "keeper/service_client.h"

namespace keeper {

// The status counted for a poll that got no readout from the service.
inline constexpr int kNoReadoutStatus = -1;
// Readings held in memory while the database cannot take them: 100 full logs.
inline constexpr std::size_t kMaxPendingReadings = 18000;

struct PollResult {
  int status = kNoReadoutStatus;  // the service's status, or kNoReadoutStatus
  int stored = 0;
  std::int64_t kept = 0;    // readings kept for the device's serial
  std::string store_error;  // non-empty: the readings could not be stored yet
};

struct PollCounters {
  std::map<int, std::uint64_t> polls_by_status;
  std::uint64_t store_failures = 0;
};

class Poller {
 public:
  using Callback = std::function<void(const PollResult&)>;

  // `store` may be null when the database cannot be opened yet.
  Poller(ServiceClient client, std::string db_path, std::unique_ptr<ReadingStore> store,
         std::optional<std::chrono::seconds> every);
  ~Poller();  // stops the thread
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  // Starts polling: once now, then on schedule.
  void Start();
  // Polls now, or joins the poll in progress; `done` runs on the poll thread.
  void RequestPoll(Callback done);
  void Stop();
  PollCounters Counters() const;

 private:
  void Run();
  PollResult PollOnce();
  void StoreReadings(const std::vector<Reading>& readings, const std::string& serial,
                     PollResult* result);
  void Report(const std::string& outcome, const std::string& line);

  ServiceClient client_;
  std::string db_path_;
  std::unique_ptr<ReadingStore> store_;  // used on the poll thread only
  std::optional<std::chrono::seconds> every_;
  std::vector<Reading> pending_;  // fetched but not stored yet
  std::string last_outcome_;
  std::chrono::seconds next_interval_{0};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool poll_requested_ = false;
  bool polling_ = false;
  std::vector<Callback> waiting_for_next_;
  std::vector<Callback> waiting_for_current_;
  PollCounters counters_;
  std::thread thread_;
};

}  // namespace keeper
