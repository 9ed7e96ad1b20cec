// The dosimeter's feature-report protocol: identify, read header and log, erase.
#pragma once

#include <array>
#include <cstdint>

#include "device/export.h"
#include "device/hid.h"
#include "device/point_log.h"
#include "device/protocol_numbers.h"

namespace device {

// The state shared by connect, read and erase. The serial bytes and the model
// outlive the open handle and keep their last values.
struct DeviceLink {
  HidHandle handle;  // null while the link is closed
  std::array<std::uint8_t, kSerialSize> serial{};
  std::uint16_t model = 0;
};

// Opens the first matching device (closing one still open) and identifies it.
UsbResult ConnectToDevice(DeviceLink& link);
// Reads the header and every log entry into `log`, then closes the link.
// `count` (may be null) receives the number of points on UsbOk and 0 otherwise.
UsbResult ReadDeviceLog(DeviceLink& link, PointLog& log, std::int32_t* count);
// Sends the erase command, then closes the link.
UsbResult EraseDeviceLog(DeviceLink& link);

}  // namespace device
