#include "device/device_state.h"

#include <cstdio>
#include <new>

namespace device {

DeviceLink& TheDeviceLink() {
  // Built in static storage and never destroyed: nothing closes the device at
  // exit, no other static (hidapi's, or a simulator's) can be gone before its
  // close, and unloading the library leaves no heap block behind.
  alignas(DeviceLink) static unsigned char storage[sizeof(DeviceLink)];
  static DeviceLink* const link = new (storage) DeviceLink;
  return *link;
}

PointLog& ThePointLog() {
  static PointLog log;
  return log;
}

std::string SerialNumberText(const DeviceLink& link) {
  static_assert(kSerialSize == 7, "the format names seven bytes");
  char text[2 * kSerialSize + 1];
  const auto& s = link.serial;
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x%02x", s[0], s[1], s[2], s[3], s[4],
                s[5], s[6]);
  return text;
}

std::string ModelText(const DeviceLink& link) {
  char text[2 * sizeof link.model + 1];
  std::snprintf(text, sizeof text, "%04x", link.model);
  return text;
}

}  // namespace device
