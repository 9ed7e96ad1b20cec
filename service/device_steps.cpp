#include "service/device_steps.h"

#include "device/device_state.h"
#include "device/export.h"
#include "service/usb_result_status.h"

namespace service {

std::int32_t ReadLogWithDeviceInfo(ReadingDocument& document) {
  CheckUsbResult(UsbConnect(), StatusConnectFailed);
  std::int32_t count = 0;
  const UsbResult read = UsbReadAll(&count);
  document.PutDeviceInfo(device::TheDeviceLink());
  CheckUsbResult(read, StatusReadFailed);
  return count;
}

void PutReadout(ReadingDocument& document) {
  if (ReadLogWithDeviceInfo(document) == 0) throw StatusNoPoints;
  document.PutPoints(device::ThePointLog());
}

void EraseLog() {
  CheckUsbResult(UsbConnect(), StatusConnectFailed);
  CheckUsbResult(UsbErase(), StatusEraseFailed);
}

}  // namespace service
