// Simulated transfer faults (-1 and 0) on every route, for each command and
// sampled log indices, against the statuses that the failure rules give on a
// full log. Every fault must also leave no device handle open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_state.h"
#include "service/api_request.h"
#include "sim/sim.h"
#include "tests/device/device_state_reset.h"

namespace {

using sim::Transfer;
constexpr Transfer kSend = Transfer::kSend;
constexpr Transfer kFetch = Transfer::kFetch;
constexpr std::uint8_t kIdentify = sim::kIdentifyCommand;
constexpr std::uint8_t kHeader = sim::kHeaderCommand;
constexpr std::uint8_t kEntry = sim::kEntryCommand;
constexpr std::uint8_t kErase = sim::kEraseCommand;

struct FaultRow {
  const char* route;
  Transfer transfer;
  std::uint8_t command;
  int index;                      // the entry index for entry reads; the argument 0 otherwise
  const char* status_on_failure;  // the transfer returns -1
  const char* status_on_nothing;  // the transfer returns 0
};

// clang-format off
const std::vector<FaultRow> kFaultTable{
    // Readout: 5 for a failed identify or transfer, 7 for an unsent first
    // request; a read transfer of 0 bytes is no failure; erase is never sent.
    {"/", kSend,  kIdentify, 0,   "5", "5"},
    {"/", kFetch, kIdentify, 0,   "5", "5"},
    {"/", kSend,  kHeader,   0,   "7", "0"},
    {"/", kFetch, kHeader,   0,   "5", "0"},
    {"/", kSend,  kEntry,    0,   "5", "0"},
    {"/", kSend,  kEntry,    1,   "5", "0"},
    {"/", kSend,  kEntry,    90,  "5", "0"},
    {"/", kSend,  kEntry,    179, "5", "0"},
    {"/", kFetch, kEntry,    0,   "5", "0"},
    {"/", kFetch, kEntry,    1,   "5", "0"},
    {"/", kFetch, kEntry,    90,  "5", "0"},
    {"/", kFetch, kEntry,    179, "5", "0"},
    {"/", kSend,  kErase,    0,   "0", "0"},
    // Device information reads the same way.
    {"/GetDeviceInfo", kSend,  kIdentify, 0,   "5", "5"},
    {"/GetDeviceInfo", kFetch, kIdentify, 0,   "5", "5"},
    {"/GetDeviceInfo", kSend,  kHeader,   0,   "7", "0"},
    {"/GetDeviceInfo", kFetch, kHeader,   0,   "5", "0"},
    {"/GetDeviceInfo", kSend,  kEntry,    0,   "5", "0"},
    {"/GetDeviceInfo", kSend,  kEntry,    1,   "5", "0"},
    {"/GetDeviceInfo", kSend,  kEntry,    90,  "5", "0"},
    {"/GetDeviceInfo", kSend,  kEntry,    179, "5", "0"},
    {"/GetDeviceInfo", kFetch, kEntry,    0,   "5", "0"},
    {"/GetDeviceInfo", kFetch, kEntry,    1,   "5", "0"},
    {"/GetDeviceInfo", kFetch, kEntry,    90,  "5", "0"},
    {"/GetDeviceInfo", kFetch, kEntry,    179, "5", "0"},
    {"/GetDeviceInfo", kSend,  kErase,    0,   "0", "0"},
    // Erase: an erase send that moves 0 bytes fails like one that fails;
    // nothing is read.
    {"/Erase", kSend,  kIdentify, 0,   "5", "5"},
    {"/Erase", kFetch, kIdentify, 0,   "5", "5"},
    {"/Erase", kSend,  kHeader,   0,   "0", "0"},
    {"/Erase", kFetch, kHeader,   0,   "0", "0"},
    {"/Erase", kSend,  kEntry,    0,   "0", "0"},
    {"/Erase", kSend,  kEntry,    179, "0", "0"},
    {"/Erase", kFetch, kEntry,    0,   "0", "0"},
    {"/Erase", kFetch, kEntry,    179, "0", "0"},
    {"/Erase", kSend,  kErase,    0,   "5", "5"},
};
// clang-format on

std::string StatusOf(const std::string& jsonp) {
  const std::string key = "\"Status\": \"";
  const std::size_t at = jsonp.rfind(key);
  if (at == std::string::npos) return "?";
  const std::size_t start = at + key.size();
  return jsonp.substr(start, jsonp.find('"', start) - start);
}

TEST(FaultMatrix, EveryFaultGivesItsStatusAndClosesTheDevice) {
  for (const FaultRow& row : kFaultTable) {
    for (const int result : {-1, 0}) {
      device_test::ResetDeviceState();
      sim::Reset();
      sim::FillRealisticLog(sim::kEntries);
      sim::AddFault(row.transfer, row.command, row.index, result);
      const std::string jsonp = service::ProcessApiRequest(std::string(row.route) + "?callback=f");
      EXPECT_EQ(StatusOf(jsonp), result == -1 ? row.status_on_failure : row.status_on_nothing)
          << row.route << (row.transfer == kSend ? " send" : " fetch") << " command "
          << int{row.command} << " index " << row.index << " result " << result;
      EXPECT_EQ(sim::OpenHandles(), 0);
      EXPECT_EQ(sim::StaleHandleCalls(), 0);
    }
  }
}

}  // namespace
