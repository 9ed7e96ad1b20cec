// The six functions that other programs call; each works on the process-wide state.
#include <algorithm>
#include <cstring>
#include <string>

#include "device/device_state.h"
#include "device/export.h"
#include "device/text_alloc.h"

namespace {

constexpr std::size_t kSerialBlockSize = 22;
constexpr std::size_t kModelBlockSize = 13;

// Copies `text` into a new caller-owned block of `block_size` bytes; null if
// the allocator has none. The block's last byte is always a NUL.
char* ToCallerText(const std::string& text, std::size_t block_size) {
  char* block = device::AllocateCallerText(block_size);
  if (!block) return nullptr;
  std::memset(block, 0, block_size);
  std::memcpy(block, text.c_str(), std::min(text.size(), block_size - 1));
  return block;
}

}  // namespace

extern "C" {

DOSEBRIDGE_API int32_t UsbConnect(void) {
  return device::ConnectToDevice(device::TheDeviceLink());
}

DOSEBRIDGE_API int32_t UsbReadAll(int32_t* count) {
  return device::ReadDeviceLog(device::TheDeviceLink(), device::ThePointLog(), count);
}

DOSEBRIDGE_API int32_t GetPoint(int32_t index, uint8_t* id, uint32_t* time, double* radiation,
                                uint8_t* periodCode) {
  return device::LookUpPoint(device::ThePointLog(), index, id, time, radiation, periodCode);
}

DOSEBRIDGE_API char* GetDeviceSerialNumber(void) {
  return ToCallerText(device::SerialNumberText(device::TheDeviceLink()), kSerialBlockSize);
}

DOSEBRIDGE_API char* GetDeviceModel(void) {
  return ToCallerText(device::ModelText(device::TheDeviceLink()), kModelBlockSize);
}

DOSEBRIDGE_API int32_t UsbErase(void) {
  return device::EraseDeviceLog(device::TheDeviceLink());
}

}  // extern "C"
