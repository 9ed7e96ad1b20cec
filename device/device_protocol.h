// The dosimeter's feature-report protocol: identify, read header and log, erase.
#pragma once

#include <array>
#include <cstdint>

#include "device/export.h"
#include "device/hid.h"
#include "device/point_log.h"

namespace device {

inline constexpr unsigned short kVendorId = 0x03EB;
inline constexpr unsigned short kProductId = 0x5603;
inline constexpr std::uint32_t kLogEntries = 180;
inline constexpr std::uint16_t kIdentifiedModel = 0x1212;

enum class Command : std::uint8_t { kIdentify = 0, kReadHeader = 1, kReadEntry = 2, kErase = 3 };

// The state shared by connect, read and erase. The serial bytes and the model
// outlive the open handle and keep their last values.
struct DeviceLink {
  hid_device* handle = nullptr;
  std::array<std::uint8_t, 7> serial{};
  std::uint16_t model = 0;
};

// The request report: fixed prefix 00 12 12 01, command, little-endian argument, zeros.
Report MakeRequest(Command command, std::uint32_t argument);

// Opens the first matching device (closing one still open) and identifies it.
UsbResult UsbConnect(DeviceLink& link);
// Reads the header and every log entry into `log`, then closes the link.
// `count` (may be null) receives the number of points on UsbOk and 0 otherwise.
UsbResult UsbReadAll(DeviceLink& link, PointLog& log, std::int32_t* count);
// Sends the erase command, then closes the link.
UsbResult UsbErase(DeviceLink& link);

}  // namespace device
