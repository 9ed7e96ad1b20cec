#include "device/radiation_point.h"

namespace device {

std::uint32_t RadiationPoint::time() const {
  const std::uint8_t* bytes = raw_.data() + kTimeOffset;
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t RadiationPoint::radiation_word() const {
  return static_cast<std::uint16_t>(raw_[kRadiationOffset] | raw_[kRadiationOffset + 1] << 8);
}

double DecodeRadiation(std::uint16_t word) {
  const int mantissa = word & kMantissaMask;
  const int scale = word & kScaleMask;
  if (scale == kScaleOneDecimal) {
    // q + r / 10.0 in this order: the device's values are defined this way,
    // and it differs from mantissa / 10.0 in the last bit for some values.
    return mantissa / 10 + (mantissa % 10) / 10.0;
  }
  if (scale == kScaleWhole) {
    return mantissa;
  }
  return mantissa / 100 + (mantissa % 100) / 100.0;
}

}  // namespace device
