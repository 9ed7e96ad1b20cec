#include "sim/device_model.h"

#include <algorithm>
#include <cstdarg>

#include "sim/protocol_numbers.h"

namespace sim {
namespace {

std::uint32_t ArgumentOf(const std::uint8_t* request) {
  const std::uint8_t* bytes = request + kArgumentByte;
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

Model& TheModel() {
  static Model model;
  return model;
}

void Model::ResetScript() {
  present = true;
  throw_on_open = false;
  identify_answer = kHealthyIdentifyAnswer;
  serial = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};
  entries = {};
  faults.clear();
  delay_us = 0;
}

const Fault* Model::FindFault(Transfer transfer, const std::uint8_t* request) const {
  for (const Fault& fault : faults) {
    if (fault.transfer != transfer || fault.command != request[kCommandByte]) continue;
    if (fault.index == kAnyIndex ||
        static_cast<std::uint32_t>(fault.index) == ArgumentOf(request)) {
      return &fault;
    }
  }
  return nullptr;
}

Report Model::AnswerFor(const Report& request) const {
  Report answer{};
  switch (request[kCommandByte]) {
    case kIdentifyCommand:
      return identify_answer;
    case kHeaderCommand:
      std::copy(serial.begin(), serial.end(), answer.begin() + kSerialByte);
      return answer;
    case kEntryCommand: {
      const std::uint32_t index = ArgumentOf(request.data());
      return index < kEntries ? entries[index] : answer;
    }
    default:
      return answer;
  }
}

void Model::Record(const char* format, ...) {
  if (!record) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(record, format, args);
  va_end(args);
  std::fputc('\n', record);
  std::fflush(record);
}

void Reset() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  model.ResetScript();
  model.current_request = {};
  model.has_request = false;
  model.has_sent = false;
  model.keep_history = true;
  model.sent.clear();
  model.fetch_zeroed.clear();
  model.max_open = static_cast<int>(model.open.size());
  model.open_calls = 0;
  model.stale_calls = 0;
}

void SetPresent(bool present) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().present = present;
}

void SetIdentifyAnswer(const Report& answer) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().identify_answer = answer;
}

void SetSerial(const Serial& serial) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().serial = serial;
}

void SetEntry(std::uint32_t index, const Report& raw) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().entries.at(index) = raw;
}

void ClearEntries() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().entries = {};
}

Report MakeEntry(std::uint8_t id, std::uint32_t time, std::uint16_t radiation_word,
                 std::uint8_t period_code) {
  Report raw{};
  raw[kPresenceByte] = 1;
  raw[kIdByte] = id;
  for (int i = 0; i < 4; ++i) raw[kTimeByte + i] = static_cast<std::uint8_t>(time >> (8 * i));
  raw[kRadiationByte] = static_cast<std::uint8_t>(radiation_word);
  raw[kRadiationByte + 1] = static_cast<std::uint8_t>(radiation_word >> 8);
  raw[kPeriodByte] = period_code;
  return raw;
}

void FillRealisticLog(std::uint32_t count) {
  constexpr std::uint32_t kStart = 1396440000;  // 2 April 2014, 12:00 UTC
  constexpr std::uint8_t kHourly = 4;           // period code for 60 minutes
  std::uint32_t state = 12345;
  ClearEntries();
  for (std::uint32_t i = 0; i < count && i < kEntries; ++i) {
    state = state * 1103515245u + 12345u;
    // Background dose rate of 0.08 to 0.21, in hundredths (two-decimal scale).
    const auto hundredths = static_cast<std::uint16_t>(8 + (state >> 16) % 14);
    SetEntry(i,
             MakeEntry(static_cast<std::uint8_t>(i + 1), kStart + i * 3600, hundredths, kHourly));
  }
}

void AddFault(Transfer transfer, std::uint8_t command, int index, int result) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().faults.push_back(Fault{transfer, command, index, result});
}

void SetDelay(std::chrono::microseconds per_transfer) {
  TheModel().delay_us = per_transfer.count();
}

void SetThrowOnOpen(bool throws) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().throw_on_open = throws;
}

void KeepHistory(bool keep) {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  TheModel().keep_history = keep;
}

std::vector<SentRequest> SentRequests() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return TheModel().sent;
}

std::vector<bool> FetchBuffersZeroed() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return TheModel().fetch_zeroed;
}

int OpenHandles() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return static_cast<int>(TheModel().open.size());
}

int MaxOpenHandles() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return TheModel().max_open;
}

int OpenCalls() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return TheModel().open_calls;
}

int StaleHandleCalls() {
  std::lock_guard<std::mutex> lock(TheModel().mutex);
  return TheModel().stale_calls;
}

}  // namespace sim
