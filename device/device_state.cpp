#include "device/device_state.h"

#include <cstdio>

namespace device {

DeviceLink& TheDeviceLink() {
  static DeviceLink link;
  return link;
}

PointLog& ThePointLog() {
  static PointLog log;
  return log;
}

void ResetProcessState() {
  DeviceLink& link = TheDeviceLink();
  if (link.handle) hid_close(link.handle);
  link = DeviceLink{};
  ThePointLog().clear();
}

std::string SerialNumberText(const DeviceLink& link) {
  char text[15];
  const auto& s = link.serial;
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x%02x", s[0], s[1], s[2], s[3], s[4],
                s[5], s[6]);
  return text;
}

std::string ModelText(const DeviceLink& link) {
  char text[5];
  std::snprintf(text, sizeof text, "%04x", link.model);
  return text;
}

}  // namespace device
