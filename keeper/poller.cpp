#include "keeper/poller.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "keeper/poll_schedule.h"
#include "keeper/readout_parser.h"

namespace keeper {
namespace {

std::string DurationText(std::chrono::seconds interval) {
  const long long s = interval.count();
  if (s % 3600 == 0) return std::to_string(s / 3600) + "h";
  if (s % 60 == 0) return std::to_string(s / 60) + "m";
  return std::to_string(s) + "s";
}

std::optional<long long> NewestPeriod(const std::vector<Reading>& readings) {
  const auto newest =
      std::max_element(readings.begin(), readings.end(),
                       [](const Reading& a, const Reading& b) { return a.time < b.time; });
  if (newest == readings.end()) return std::nullopt;
  return newest->period;
}

}  // namespace

Poller::Poller(ServiceClient client, std::string db_path, std::unique_ptr<ReadingStore> store,
               std::optional<std::chrono::seconds> every)
    : client_(std::move(client)),
      db_path_(std::move(db_path)),
      store_(std::move(store)),
      every_(every) {}

Poller::~Poller() {
  Stop();
}

void Poller::Start() {
  thread_ = std::thread([this] { Run(); });
}

void Poller::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  client_.Cancel();
  if (thread_.joinable()) thread_.join();
}

void Poller::RequestPoll(Callback done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (polling_) {
      waiting_for_current_.push_back(std::move(done));
      return;
    }
    waiting_for_next_.push_back(std::move(done));
    poll_requested_ = true;
  }
  wake_.notify_all();
}

PollCounters Poller::Counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_;
}

void Poller::Run() {
  auto due = std::chrono::steady_clock::now();
  for (;;) {
    std::vector<Callback> waiting;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_until(lock, due, [&] { return stopping_ || poll_requested_; });
      if (stopping_) return;
      if (!poll_requested_ && std::chrono::steady_clock::now() < due) continue;
      polling_ = true;
      poll_requested_ = false;
      waiting.swap(waiting_for_next_);
    }
    PollResult result = PollOnce();
    due = std::chrono::steady_clock::now() + next_interval_;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      polling_ = false;
      ++counters_.polls_by_status[result.status];
      if (!result.store_error.empty()) ++counters_.store_failures;
      for (Callback& callback : waiting_for_current_) waiting.push_back(std::move(callback));
      waiting_for_current_.clear();
    }
    for (const Callback& callback : waiting) callback(result);
  }
}

PollResult Poller::PollOnce() {
  PollResult result;
  PollOutcomeForSchedule for_schedule;
  std::string outcome, line;
  const ServiceAnswer answer = client_.FetchReadout();
  std::optional<Readout> readout;
  if (!answer.error.empty()) {
    outcome = "no answer";
    line = "the service does not answer (" + answer.error + ")";
  } else if (!(readout = ParseReadout(answer.body))) {
    outcome = "not a readout";
    line = "the service's answer is not a readout";
  } else {
    result.status = readout->status;
    if (readout->status == kStatusOk || readout->status == kStatusEmptyLog) {
      outcome = "ok";
      line = "polls succeed";
    } else {
      outcome = "status " + std::to_string(readout->status);
      line = "the service answers status " + std::to_string(readout->status);
    }
  }
  for_schedule.failed = outcome != "ok";
  if (readout) {
    for_schedule.newest_period_minutes = NewestPeriod(readout->readings);
    StoreReadings(readout->readings, readout->serial, &result);
    if (!result.store_error.empty()) {
      outcome = "store failed";
      line = "cannot store readings, keeping them in memory: " + result.store_error;
      for_schedule.failed = true;
    }
  }
  const std::chrono::seconds next = NextPollInterval(for_schedule, every_);
  Report(outcome, line + "; next poll in " + DurationText(next));
  next_interval_ = next;
  return result;
}

void Poller::StoreReadings(const std::vector<Reading>& readings, const std::string& serial,
                           PollResult* result) {
  pending_.insert(pending_.end(), readings.begin(), readings.end());
  try {
    if (!store_) store_ = std::make_unique<ReadingStore>(ReadingStore::OpenForKeeping(db_path_));
    const ReadingStore::KeepOutcome kept = store_->Keep(pending_, serial);
    result->stored = kept.stored;
    result->kept = kept.kept;
    pending_.clear();
  } catch (const std::exception& e) {
    result->store_error = e.what();
    // The same log comes again at the next poll: hold each reading once, and
    // drop the oldest beyond the limit.
    const auto key = [](const Reading& r) {
      return std::tie(r.time, r.serial, r.id, r.radiation, r.period);
    };
    std::sort(pending_.begin(), pending_.end(),
              [&](const Reading& a, const Reading& b) { return key(a) < key(b); });
    pending_.erase(
        std::unique(pending_.begin(), pending_.end(),
                    [&](const Reading& a, const Reading& b) { return key(a) == key(b); }),
        pending_.end());
    if (pending_.size() > kMaxPendingReadings) {
      pending_.erase(
          pending_.begin(),
          pending_.begin() + static_cast<std::ptrdiff_t>(pending_.size() - kMaxPendingReadings));
    }
  }
}

void Poller::Report(const std::string& outcome, const std::string& line) {
  if (outcome == last_outcome_) return;
  last_outcome_ = outcome;
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace keeper
