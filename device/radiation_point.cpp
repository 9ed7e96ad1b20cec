#include "device/radiation_point.h"

namespace device {

std::uint32_t RadiationPoint::time() const {
  return static_cast<std::uint32_t>(raw_[3]) | static_cast<std::uint32_t>(raw_[4]) << 8 |
         static_cast<std::uint32_t>(raw_[5]) << 16 | static_cast<std::uint32_t>(raw_[6]) << 24;
}

std::uint16_t RadiationPoint::radiation_word() const {
  return static_cast<std::uint16_t>(raw_[7] | raw_[8] << 8);
}

double DecodeRadiation(std::uint16_t word) {
  const int mantissa = word & 0x03FF;  // bits 10 and 11 carry nothing
  const int scale = word & 0xF000;
  if (scale == 0x8000) {
    // q + r / 10.0 in this order: the device's values are defined this way,
    // and it differs from mantissa / 10.0 in the last bit for some values.
    return mantissa / 10 + (mantissa % 10) / 10.0;
  }
  if (scale == 0xF000) {
    return mantissa;
  }
  return mantissa / 100 + (mantissa % 100) / 100.0;
}

}  // namespace device
