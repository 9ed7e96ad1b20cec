#include "service/reading_document.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "device/device_state.h"
#include "service/point_texts.h"

namespace service {

namespace {

// The fixed pieces of the layout, each written whole.
constexpr std::string_view kDocumentOpen = "{\n";
constexpr std::string_view kMemberSeparator = ",\n";
constexpr std::string_view kDocumentClose = "\n}\n";

constexpr std::string_view kDeviceInfoModel = "    \"DeviceInfo\":\n    {\n        \"Model\": \"";
constexpr std::string_view kDeviceInfoSerial = "\",\n        \"SerialNumber\": \"";
constexpr std::string_view kDeviceInfoClose = "\"\n    }";

constexpr std::string_view kPointsOpen = "    \"RadiationPoints\":\n    [\n";
constexpr std::string_view kPointsClose = "\n    ]";
constexpr std::string_view kPointId = "        {\n            \"id\": \"";
constexpr std::string_view kPointTime = "\",\n            \"time\": \"";
constexpr std::string_view kPointRadiation = "\",\n            \"radiation\": \"";
constexpr std::string_view kPointPeriod = "\",\n            \"period\": \"";
constexpr std::string_view kPointClose = "\"\n        }";
constexpr std::string_view kPointSeparator = ",\n";

constexpr std::string_view kStatusOpen = "    \"Status\": \"";
constexpr std::string_view kStatusClose = "\"";

constexpr std::size_t kTimeDigits = std::numeric_limits<std::uint32_t>::digits10 + 1;
constexpr std::size_t kStatusDigits = std::numeric_limits<int>::digits10 + 2;  // with a sign
constexpr std::size_t kModelTextBytes = 4;    // the model word in hex
constexpr std::size_t kSerialTextBytes = 14;  // the 7 serial bytes in hex

// The value texts are copied at their full capacity and the cursor then moves
// by their size, so each point is budgeted with the capacities.
constexpr std::size_t kMaxPointBytes =
    kPointId.size() + IdText::kCapacity + kPointTime.size() + kTimeDigits + kPointRadiation.size() +
    RadiationText::kCapacity + kPointPeriod.size() + PeriodText::kCapacity + kPointClose.size() +
    kPointSeparator.size();

char* Put(char* at, std::string_view piece) {
  std::memcpy(at, piece.data(), piece.size());
  return at + piece.size();
}

template <std::size_t Capacity>
char* Put(char* at, const InlineText<Capacity>& text) {
  std::memcpy(at, text.bytes, Capacity);
  return at + text.size;
}

char* PutPoint(char* at, const device::RadiationPoint& point) {
  at = Put(at, kPointId);
  at = Put(at, IdTextOf(point.id()));
  at = Put(at, kPointTime);
  at = std::to_chars(at, at + kTimeDigits, point.time()).ptr;
  at = Put(at, kPointRadiation);
  at = Put(at, RadiationTextOf(point.radiation_word()));
  at = Put(at, kPointPeriod);
  at = Put(at, PeriodTextOf(point.period_code()));
  at = Put(at, kPointClose);
  return Put(at, kPointSeparator);
}

}  // namespace

ReadingDocument::ReadingDocument(std::string& out) : out_(out) {
  out_.append(kDocumentOpen);
}

void ReadingDocument::BeginMember(Stage stage) {
  if (stage <= stage_) throw std::logic_error("reading document member out of order");
  if (stage_ != Stage::kOpen) out_.append(kMemberSeparator);
  stage_ = stage;
}

void ReadingDocument::PutDeviceInfo(const device::DeviceLink& link) {
  BeginMember(Stage::kDeviceInfo);
  out_.append(kDeviceInfoModel)
      .append(device::ModelText(link))
      .append(kDeviceInfoSerial)
      .append(device::SerialNumberText(link))
      .append(kDeviceInfoClose);
}

void ReadingDocument::PutPoints(const device::PointLog& log) {
  BeginMember(Stage::kPoints);
  const std::size_t start = out_.size();
  out_.resize(start + kPointsOpen.size() + log.size() * kMaxPointBytes + kPointsClose.size());
  char* at = Put(out_.data() + start, kPointsOpen);
  for (std::size_t i = 0; i < log.size(); ++i) at = PutPoint(at, log.point(i));
  // Drop the last point's separator, or for no points the opening line feed,
  // which the closing line then supplies.
  at -= log.size() > 0 ? kPointSeparator.size() : 1;
  at = Put(at, kPointsClose);
  out_.resize(static_cast<std::size_t>(at - out_.data()));
}

void ReadingDocument::PutStatus(DeviceStatus status) {
  BeginMember(Stage::kClosed);
  char digits[kStatusDigits];
  const auto end = std::to_chars(digits, digits + kStatusDigits, static_cast<int>(status)).ptr;
  out_.append(kStatusOpen)
      .append(digits, static_cast<std::size_t>(end - digits))
      .append(kStatusClose)
      .append(kDocumentClose);
}

std::size_t ReadingDocument::MaxBytes(std::size_t points) {
  return kDocumentOpen.size() + 2 * kMemberSeparator.size() + kDeviceInfoModel.size() +
         kDeviceInfoSerial.size() + kDeviceInfoClose.size() + kModelTextBytes + kSerialTextBytes +
         kPointsOpen.size() + points * kMaxPointBytes + kPointsClose.size() + kStatusOpen.size() +
         kStatusDigits + kStatusClose.size() + kDocumentClose.size();
}

}  // namespace service
