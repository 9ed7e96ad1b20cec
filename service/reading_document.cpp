#include "service/reading_document.h"

#include <cstdio>
#include <string>

#include "device/device_state.h"

namespace {

void Append(ReadingDocument& parent, const char* key, std::string value) {
  // push_back, not put: keys are taken whole, never as paths.
  parent.push_back(ReadingDocument::value_type(key, ReadingDocument(std::move(value))));
}

ReadingDocument PointNode(const device::RadiationPoint& point) {
  ReadingDocument node;
  Append(node, "id", IntegerText(static_cast<std::int8_t>(point.id())));
  Append(node, "time", IntegerText(point.time()));
  Append(node, "radiation", RadiationText(device::DecodeRadiation(point.radiation_word())));
  Append(node, "period", IntegerText(PeriodFromCode(point.period_code())));
  return node;
}

}  // namespace

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

std::string IntegerText(long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", value);
  return text;
}

std::string RadiationText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.16g", value);
  return text;
}

int PeriodFromCode(std::uint8_t code) {
  static constexpr int kPeriods[] = {1, 5, 10, 30, 60, 120, 240, 360, 720, 1440};
  return code < std::size(kPeriods) ? kPeriods[code] : -1;
}

void PutStatus(ReadingDocument& document, DeviceStatus status) {
  Append(document, "Status", IntegerText(status));
}

void PutDeviceInfo(ReadingDocument& document) {
  const device::DeviceLink& link = device::TheDeviceLink();
  ReadingDocument info;
  Append(info, "Model", device::ModelText(link));
  Append(info, "SerialNumber", device::SerialNumberText(link));
  document.push_back(ReadingDocument::value_type("DeviceInfo", std::move(info)));
}

std::int32_t ReadLogWithDeviceInfo(ReadingDocument& document) {
  CheckUsbResult(UsbConnect(), StatusConnectFailed);
  std::int32_t count = 0;
  const UsbResult read = UsbReadAll(&count);
  PutDeviceInfo(document);
  CheckUsbResult(read, StatusReadFailed);
  return count;
}

void PutReadout(ReadingDocument& document) {
  const std::int32_t count = ReadLogWithDeviceInfo(document);
  if (count == 0) throw StatusNoPoints;
  const device::PointLog& log = device::ThePointLog();
  ReadingDocument points;
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    points.push_back(ReadingDocument::value_type("", PointNode(log.point(i))));
  }
  document.push_back(ReadingDocument::value_type("RadiationPoints", std::move(points)));
}

void EraseLog() {
  CheckUsbResult(UsbConnect(), StatusConnectFailed);
  CheckUsbResult(UsbErase(), StatusEraseFailed);
}
