// The process-wide device link and point log, and the texts shown for them.
//
// Why process-wide: the six exported C functions take no context argument, so
// the handle that UsbConnect opens must wait for UsbReadAll or UsbErase, and
// the log that UsbReadAll fills for GetPoint, somewhere that every call finds.
// Only the exports and the service's device steps reach for this state;
// everything below them takes the link and the log as parameters.
#pragma once

#include <string>

#include "device/device_protocol.h"
#include "device/point_log.h"

namespace device {

DeviceLink& TheDeviceLink();
PointLog& ThePointLog();

// "%02x" x 7 of the serial bytes, and "%04x" of the model word.
std::string SerialNumberText(const DeviceLink& link);
std::string ModelText(const DeviceLink& link);

}  // namespace device
