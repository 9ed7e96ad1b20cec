// The document status for the result of one of the six exported device functions.
#pragma once

#include "device/export.h"
#include "service/device_status.h"

namespace service {

// Returns on UsbOk; otherwise throws the DeviceStatus for the result, or
// `step` for a value that is no UsbResult.
void CheckUsbResult(UsbResult result, DeviceStatus step);

}  // namespace service
