#include "device/device_protocol.h"

#include <algorithm>
#include <utility>

namespace device {
namespace {

Report MakeRequest(Command command, std::uint32_t argument) {
  Report request{};
  std::copy(kRequestPrefix.begin(), kRequestPrefix.end(), request.begin());
  request[kCommandOffset] = static_cast<std::uint8_t>(command);
  for (std::size_t i = 0; i < kArgumentSize; ++i) {
    request[kArgumentOffset + i] = static_cast<std::uint8_t>(argument >> (8 * i));
  }
  return request;
}

int SendRequest(hid_device* device, Command command, std::uint32_t argument) {
  const Report request = MakeRequest(command, argument);
  return hid_send_feature_report(device, request.data(), request.size());
}

// The buffer is zeroed first, so report id 0 is asked for and any byte that
// the device does not deliver reads as 0.
int FetchAnswer(hid_device* device, Report& answer) {
  answer.fill(0);
  return hid_get_feature_report(device, answer.data(), answer.size());
}

bool IsIdentifyAnswer(const Report& answer) {
  return answer[kIdentifyMarkOffset] == kIdentifyMark &&
         std::equal(kIdentifyModelBytes.begin(), kIdentifyModelBytes.end(),
                    answer.begin() + kIdentifyModelOffset);
}

UsbResult ReadEntries(hid_device* device, PointLog& log) {
  Report answer;
  for (std::uint32_t index = 0; index < kLogEntries; ++index) {
    // An entry send that moved no bytes is no failure: only -1 counts here.
    if (SendRequest(device, Command::kReadEntry, index) == kHidFailure ||
        FetchAnswer(device, answer) == kHidFailure) {
      return UsbIoError;
    }
    if (answer[kPresenceOffset] != 0) {
      log.append(answer);
    }
  }
  return UsbOk;
}

}  // namespace

UsbResult ConnectToDevice(DeviceLink& link) {
  link.handle.reset();  // a second connect closes the first handle before opening
  HidHandle device(hid_open(kVendorId, kProductId, nullptr));
  if (!device) {
    return UsbNoDevice;
  }
  // A send that moved no bytes cannot have delivered the identify request.
  const int sent = SendRequest(device.get(), Command::kIdentify, 0);
  Report answer;
  if (sent == kHidFailure || sent == 0 || FetchAnswer(device.get(), answer) == kHidFailure ||
      !IsIdentifyAnswer(answer)) {
    return UsbIoError;  // closes the device
  }
  link.handle = std::move(device);
  link.model = kIdentifiedModel;
  return UsbOk;
}

UsbResult ReadDeviceLog(DeviceLink& link, PointLog& log, std::int32_t* count) {
  if (count) *count = 0;
  // Taken from the link, the handle is closed at every return.
  const HidHandle device = std::move(link.handle);
  if (!device) {
    return UsbNoDevice;
  }
  if (SendRequest(device.get(), Command::kReadHeader, 0) == kHidFailure) {
    return UsbSendError;
  }
  Report header;
  if (FetchAnswer(device.get(), header) == kHidFailure) {
    return UsbIoError;
  }
  std::copy_n(header.begin() + kSerialOffset, kSerialSize, link.serial.begin());
  log.clear();
  const UsbResult result = ReadEntries(device.get(), log);
  if (result == UsbOk && count) {
    *count = static_cast<std::int32_t>(log.size());
  }
  return result;
}

UsbResult EraseDeviceLog(DeviceLink& link) {
  const HidHandle device = std::move(link.handle);  // closed at return
  if (!device) {
    return UsbNoDevice;
  }
  // As for identify, a send that moved no bytes cannot have delivered the erase.
  const int sent = SendRequest(device.get(), Command::kErase, 0);
  return sent == kHidFailure || sent == 0 ? UsbIoError : UsbOk;
}

}  // namespace device
