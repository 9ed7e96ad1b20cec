#include "device/device_protocol.h"

#include <algorithm>

namespace device {
namespace {

constexpr std::uint8_t kIdentifyMark = 0x52;  // 'R'
constexpr int kHidFailure = -1;

void CloseLink(DeviceLink& link) {
  hid_close(link.handle);
  link.handle = nullptr;
}

int SendRequest(const DeviceLink& link, Command command, std::uint32_t argument) {
  const Report request = MakeRequest(command, argument);
  return hid_send_feature_report(link.handle, request.data(), request.size());
}

// The buffer is zeroed first, so report id 0 is asked for and any byte that
// the device does not deliver reads as 0.
int FetchAnswer(const DeviceLink& link, Report& answer) {
  answer.fill(0);
  return hid_get_feature_report(link.handle, answer.data(), answer.size());
}

bool IsIdentifyAnswer(const Report& answer) {
  return answer[1] == kIdentifyMark && answer[3] == 0x12 && answer[4] == 0x12;
}

UsbResult ReadEntries(DeviceLink& link, PointLog& log) {
  Report answer;
  for (std::uint32_t index = 0; index < kLogEntries; ++index) {
    if (SendRequest(link, Command::kReadEntry, index) == kHidFailure ||
        FetchAnswer(link, answer) == kHidFailure) {
      return UsbIoError;
    }
    if (answer[1] != 0) {
      log.append(answer);
    }
  }
  return UsbOk;
}

}  // namespace

Report MakeRequest(Command command, std::uint32_t argument) {
  Report request{};
  request[1] = 0x12;
  request[2] = 0x12;
  request[3] = 0x01;
  request[4] = static_cast<std::uint8_t>(command);
  for (int i = 0; i < 4; ++i) {
    request[5 + i] = static_cast<std::uint8_t>(argument >> (8 * i));
  }
  return request;
}

UsbResult UsbConnect(DeviceLink& link) {
  if (link.handle) {
    CloseLink(link);  // a second connect must not leak the first handle
  }
  link.handle = hid_open(kVendorId, kProductId, nullptr);
  if (!link.handle) {
    return UsbNoDevice;
  }
  // A send that moved no bytes cannot have delivered the identify request.
  const int sent = SendRequest(link, Command::kIdentify, 0);
  Report answer;
  if (sent == kHidFailure || sent == 0 || FetchAnswer(link, answer) == kHidFailure ||
      !IsIdentifyAnswer(answer)) {
    CloseLink(link);
    return UsbIoError;
  }
  link.model = kIdentifiedModel;
  return UsbOk;
}

UsbResult UsbReadAll(DeviceLink& link, PointLog& log, std::int32_t* count) {
  if (count) *count = 0;
  if (!link.handle) {
    return UsbNoDevice;
  }
  if (SendRequest(link, Command::kReadHeader, 0) == kHidFailure) {
    CloseLink(link);
    return UsbSendError;
  }
  Report header;
  if (FetchAnswer(link, header) == kHidFailure) {
    CloseLink(link);
    return UsbIoError;
  }
  std::copy(header.begin() + 1, header.begin() + 8, link.serial.begin());
  log.clear();
  const UsbResult result = ReadEntries(link, log);
  CloseLink(link);
  if (result == UsbOk && count) {
    *count = static_cast<std::int32_t>(log.size());
  }
  return result;
}

UsbResult UsbErase(DeviceLink& link) {
  if (!link.handle) {
    return UsbNoDevice;
  }
  const int sent = SendRequest(link, Command::kErase, 0);
  CloseLink(link);
  return sent == kHidFailure ? UsbIoError : UsbOk;
}

}  // namespace device
