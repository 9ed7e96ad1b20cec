// A simulated dosimeter behind the four hidapi calls. Tests script it through
// this API; preloaded into the real binary it is scripted by a text file.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t kReportSize = 15;
using Report = std::array<std::uint8_t, kReportSize>;
inline constexpr std::uint32_t kEntries = 180;
inline constexpr std::size_t kSerialSize = 7;
using Serial = std::array<std::uint8_t, kSerialSize>;

// The command byte of each request.
inline constexpr std::uint8_t kIdentifyCommand = 0;
inline constexpr std::uint8_t kHeaderCommand = 1;
inline constexpr std::uint8_t kEntryCommand = 2;
inline constexpr std::uint8_t kEraseCommand = 3;

enum class Transfer { kSend, kFetch };
inline constexpr int kAnyIndex = -1;

// One hid_send_feature_report call: the bytes given and the result returned.
struct SentRequest {
  std::vector<std::uint8_t> bytes;
  int result;
};

// Back to a present, healthy device with an empty log; forgets all records.
void Reset();

void SetPresent(bool present);
void SetIdentifyAnswer(const Report& answer);
void SetSerial(const Serial& serial);
// Entry `index` (0..179) answers with `raw`; byte 1 non-zero marks a measurement.
void SetEntry(std::uint32_t index, const Report& raw);
void ClearEntries();
// A log of `count` plausible hourly measurements in entries 0..count-1.
void FillRealisticLog(std::uint32_t count);
// Makes the transfer return `result` (-1 or 0) for `command`; for entry reads
// `index` picks the entry (kAnyIndex for every one). A failed transfer does not
// reach the device, and a failed fetch leaves the buffer untouched.
void AddFault(Transfer transfer, std::uint8_t command, int index, int result);
void SetDelay(std::chrono::microseconds per_transfer);
// Makes hid_open throw std::bad_alloc: an exception the device layer does not expect.
void SetThrowOnOpen(bool throws);
// Whether SentRequests and FetchBuffersZeroed collect (on after Reset).
void KeepHistory(bool keep);

// An entry record in the device's layout.
Report MakeEntry(std::uint8_t id, std::uint32_t time, std::uint16_t radiation_word,
                 std::uint8_t period_code);

std::vector<SentRequest> SentRequests();
// For each fetch, whether the buffer handed in was all zero.
std::vector<bool> FetchBuffersZeroed();
int OpenHandles();
int MaxOpenHandles();
int OpenCalls();
// Calls made on a handle that was not open (closed already, or never opened).
int StaleHandleCalls();

// Reads the file that DOSEBRIDGE_SIM names when it has changed since the last
// call and scripts the device from it. Called at every hid_open.
void ReloadConfigIfChanged();
// Applies the script text; returns a description of the first bad line, or "".
std::string ApplyConfig(const std::string& text);

}  // namespace sim
