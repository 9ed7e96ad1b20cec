// The status code that every reading document carries, and the exception by
// which a failing device step ends a route.
#pragma once

namespace service {

enum DeviceStatus : int {
  StatusOk = 0,
  StatusConnectFailed = 1,
  StatusReadFailed = 2,
  StatusNoPoints = 3,
  StatusEraseFailed = 4,
  StatusIoError = 5,
  StatusNoDevice = 6,
  StatusSendError = 7,
  StatusBadIndex = 8,
};

}  // namespace service
