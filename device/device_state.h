// The process-wide device link and point log that the six exported functions
// and the reading service share, and the texts shown for them.
#pragma once

#include <string>

#include "device/device_protocol.h"
#include "device/point_log.h"

namespace device {

DeviceLink& TheDeviceLink();
PointLog& ThePointLog();

// Back to the state at program start. For tests, which need a fresh process state.
void ResetProcessState();

// "%02x" x 7 of the serial bytes, and "%04x" of the model word.
std::string SerialNumberText(const DeviceLink& link);
std::string ModelText(const DeviceLink& link);

}  // namespace device
