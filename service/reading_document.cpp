#include "service/reading_document.h"

#include <charconv>
#include <string>
#include <vector>

#include "device/device_state.h"

namespace {

constexpr std::size_t kPointMembers = 4;

// Writes `value` in decimal into `buffer` (large enough) and returns the text.
template <std::size_t N>
std::string_view Decimal(char (&buffer)[N], long long value) {
  const auto end = std::to_chars(buffer, buffer + N, value).ptr;
  return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

// The "period" text of every code, made once.
std::string_view PeriodText(std::uint8_t code) {
  static const std::vector<std::string> kTexts = [] {
    std::vector<std::string> texts;
    for (int c = 0; c < 256; ++c)
      texts.push_back(IntegerText(PeriodFromCode(static_cast<std::uint8_t>(c))));
    return texts;
  }();
  return kTexts[code];
}

void FillPoint(ReadingDocument& node, const device::RadiationPoint& point) {
  char id[8], time[16];
  node.reserve(kPointMembers);
  node.add_value("id", Decimal(id, static_cast<std::int8_t>(point.id())));
  node.add_value("time", Decimal(time, point.time()));
  node.add_value("radiation", RadiationWordText(point.radiation_word()));
  node.add_value("period", PeriodText(point.period_code()));
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
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string RadiationText(double value) {
  // General notation with 16 significant digits, exactly as %.16g in the C locale.
  char text[32];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 16).ptr;
  return std::string(text, end);
}

const std::string& RadiationWordText(std::uint16_t word) {
  constexpr int kMantissas = 1024;
  static constexpr std::uint16_t kScales[] = {0x0000, 0x8000, 0xF000};  // two places, one, whole
  static const std::vector<std::string> kTexts = [] {
    std::vector<std::string> texts;
    texts.reserve(3 * kMantissas);
    for (const std::uint16_t scale : kScales) {
      for (int m = 0; m < kMantissas; ++m) {
        texts.push_back(
            RadiationText(device::DecodeRadiation(static_cast<std::uint16_t>(scale | m))));
      }
    }
    return texts;
  }();
  const int high = word & 0xF000;
  const int scale = high == 0x8000 ? 1 : high == 0xF000 ? 2 : 0;
  return kTexts[static_cast<std::size_t>(scale * kMantissas + (word & 0x03FF))];
}

int PeriodFromCode(std::uint8_t code) {
  static constexpr int kPeriods[] = {1, 5, 10, 30, 60, 120, 240, 360, 720, 1440};
  return code < std::size(kPeriods) ? kPeriods[code] : -1;
}

void PutStatus(ReadingDocument& document, DeviceStatus status) {
  document.add("Status", ReadingDocument(IntegerText(status)));
}

void PutDeviceInfo(ReadingDocument& document) {
  const device::DeviceLink& link = device::TheDeviceLink();
  ReadingDocument& info = document.add("DeviceInfo");
  info.add("Model", ReadingDocument(device::ModelText(link)));
  info.add("SerialNumber", ReadingDocument(device::SerialNumberText(link)));
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
  PutPoints(document, device::ThePointLog(), static_cast<std::size_t>(count));
}

void PutPoints(ReadingDocument& document, const device::PointLog& log, std::size_t count) {
  ReadingDocument& points = document.add("RadiationPoints");
  points.reserve(count);
  for (std::size_t i = 0; i < count; ++i) FillPoint(points.add(""), log.point(i));
}

void EraseLog() {
  CheckUsbResult(UsbConnect(), StatusConnectFailed);
  CheckUsbResult(UsbErase(), StatusEraseFailed);
}
