#include "service/usb_result_status.h"

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

}  // namespace service
