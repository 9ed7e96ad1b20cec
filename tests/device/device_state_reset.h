// Puts the process-wide device link and point log back as they are at program
// start, so that each test or benchmark begins from a fresh process.
#pragma once

#include "device/device_state.h"

namespace device_test {

inline void ResetDeviceState() {
  device::TheDeviceLink() = device::DeviceLink{};
  device::ThePointLog().clear();
}

}  // namespace device_test
