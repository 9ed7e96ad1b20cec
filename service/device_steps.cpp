#include "service/device_steps.h"

#include "device/device_state.h"

namespace service {

void CheckUsbResult(UsbResult result, DeviceStatus step) {
  switch (result) {
    case UsbOk:
      return;
    case UsbIoError:
      throw StatusIoError;
    case UsbNoDevice:
      throw StatusNoDevice;
    case UsbSendError:
      throw StatusSendError;
    case UsbBadIndex:
      throw StatusBadIndex;
    default:
      throw step;
  }
}

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
