#include "service/point_texts.h"

#include <array>
#include <charconv>

#include "device/radiation_point.h"

namespace service {

namespace {

constexpr std::size_t kByteValues = 256;
constexpr std::size_t kMantissas = 1024;  // the low 10 bits of a radiation word
constexpr std::uint16_t kMantissaMask = 0x03FF;
constexpr std::uint16_t kScaleMask = 0xF000;
// The scales that decode differently: two places (any other nibble), one place, whole.
constexpr std::uint16_t kScales[] = {0x0000, 0x8000, 0xF000};
constexpr std::size_t kRadiationTexts = std::size(kScales) * kMantissas;
constexpr int kRadiationDigits = 16;

constexpr int kPeriodMinutes[] = {1, 5, 10, 30, 60, 120, 240, 360, 720, 1440};
constexpr int kUnknownPeriod = -1;

template <typename Text, typename Value>
Text DecimalText(Value value) {
  Text text{};
  const auto end = std::to_chars(text.bytes, text.bytes + Text::kCapacity, value).ptr;
  text.size = static_cast<std::uint8_t>(end - text.bytes);
  return text;
}

std::size_t ScaleIndex(std::uint16_t word) {
  const auto scale = static_cast<std::uint16_t>(word & kScaleMask);
  return scale == kScales[1] ? 1 : scale == kScales[2] ? 2 : 0;
}

}  // namespace

const IdText& IdTextOf(std::uint8_t id) {
  static const auto kTexts = [] {
    std::array<IdText, kByteValues> texts{};
    for (std::size_t byte = 0; byte < kByteValues; ++byte)
      texts[byte] = DecimalText<IdText>(static_cast<std::int8_t>(byte));
    return texts;
  }();
  return kTexts[id];
}

const PeriodText& PeriodTextOf(std::uint8_t code) {
  static const auto kTexts = [] {
    std::array<PeriodText, kByteValues> texts{};
    for (std::size_t byte = 0; byte < kByteValues; ++byte)
      texts[byte] = DecimalText<PeriodText>(byte < std::size(kPeriodMinutes) ? kPeriodMinutes[byte]
                                                                             : kUnknownPeriod);
    return texts;
  }();
  return kTexts[code];
}

const RadiationText& RadiationTextOf(std::uint16_t word) {
  static const auto kTexts = [] {
    std::array<RadiationText, kRadiationTexts> texts{};
    for (std::size_t scale = 0; scale < std::size(kScales); ++scale) {
      for (std::size_t mantissa = 0; mantissa < kMantissas; ++mantissa) {
        const double value =
            device::DecodeRadiation(static_cast<std::uint16_t>(kScales[scale] | mantissa));
        RadiationText& text = texts[scale * kMantissas + mantissa];
        const auto end = std::to_chars(text.bytes, text.bytes + RadiationText::kCapacity, value,
                                       std::chars_format::general, kRadiationDigits)
                             .ptr;
        text.size = static_cast<std::uint8_t>(end - text.bytes);
      }
    }
    return texts;
  }();
  return kTexts[ScaleIndex(word) * kMantissas + (word & kMantissaMask)];
}

}  // namespace service
