// Every simulated transfer fault (-1 and 0, for each command and log index) on
// every route gives the status that the failure rules name, and leaves no
// device handle open.
#include <gtest/gtest.h>

#include <string>

#include "device/device_state.h"
#include "service/api_request.h"
#include "sim/sim.h"

namespace {

enum Command : std::uint8_t { kIdentify = 0, kHeader = 1, kEntry = 2, kErase = 3 };
enum class Route { kReadout, kInfo, kErase };

const char* RoutePathOf(Route route) {
  switch (route) {
    case Route::kReadout:
      return "/";
    case Route::kInfo:
      return "/GetDeviceInfo";
    case Route::kErase:
      return "/Erase";
  }
  return "";
}

// The status that the failure rules give for one fault on a full log.
int ExpectedStatus(Route route, sim::Transfer transfer, Command command, int result) {
  const bool send = transfer == sim::Transfer::kSend;
  if (command == kIdentify) return 5;  // a send of 0 bytes, or an empty answer, is refused too
  if (route == Route::kErase) return command == kErase && send && result == -1 ? 5 : 0;
  if (command == kErase || result == 0) return 0;  // not sent on reads; 0 is no failure there
  if (command == kHeader && send) return 7;
  return 5;
}

std::string StatusOf(const std::string& json) {
  const std::string key = "\"Status\": \"";
  const std::size_t at = json.rfind(key);
  return at == std::string::npos
             ? "?"
             : json.substr(at + key.size(), json.find('"', at + key.size()) - at - key.size());
}

TEST(FaultMatrix, EveryFaultGivesSpecifiedStatusAndClosesTheDevice) {
  for (Route route : {Route::kReadout, Route::kInfo, Route::kErase}) {
    for (sim::Transfer transfer : {sim::Transfer::kSend, sim::Transfer::kFetch}) {
      for (Command command : {kIdentify, kHeader, kEntry, kErase}) {
        if (command == kErase && transfer == sim::Transfer::kFetch) continue;  // never fetched
        const int indices = command == kEntry ? 180 : 1;
        for (int index = 0; index < indices; ++index) {
          for (int result : {-1, 0}) {
            device::ResetProcessState();
            sim::Reset();
            sim::FillRealisticLog(180);
            sim::AddFault(transfer, command, index, result);
            const std::string json = service::ProcessApiRequest(RoutePathOf(route));
            const std::string expected =
                std::to_string(ExpectedStatus(route, transfer, command, result));
            ASSERT_EQ(StatusOf(json), expected)
                << RoutePathOf(route) << (transfer == sim::Transfer::kSend ? " send" : " fetch")
                << " command " << int{command} << " index " << index << " result " << result;
            ASSERT_EQ(sim::OpenHandles(), 0);
            ASSERT_EQ(sim::StaleHandleCalls(), 0);
          }
        }
      }
    }
  }
}

}  // namespace
