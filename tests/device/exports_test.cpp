// The six exported functions, linked in, on the process-wide state.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device/device_state.h"
#include "device/export.h"
#include "tests/device/device_state_reset.h"
#include "tests/device/exported_api_cases.h"

namespace {

TEST(ExportedFunctions, LinkedInPassEveryCaseInOrder) {
  device_test::ResetDeviceState();
  const ExportedApi api{UsbConnect,     UsbReadAll, GetPoint, GetDeviceSerialNumber,
                        GetDeviceModel, UsbErase};
  for (const ApiCase& c : kApiCases) RunApiCase(api, c);
}

TEST(ExportedFunctions, EachTextCallReturnsANewBlock) {
  char* first = GetDeviceModel();
  char* second = GetDeviceModel();
  EXPECT_NE(first, second);
  std::free(first);
  std::free(second);
}

}  // namespace
