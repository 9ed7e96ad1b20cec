// One logged measurement, kept as the 15 raw bytes of the device's entry answer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace device {

inline constexpr std::size_t kReportSize = 15;
using Report = std::array<std::uint8_t, kReportSize>;

// The record's fields are little-endian and unaligned, so the bytes are stored
// as received and read through accessors.
class RadiationPoint {
 public:
  explicit RadiationPoint(const Report& raw) : raw_(raw) {}

  const Report& raw() const { return raw_; }
  std::uint8_t presence_flag() const { return raw_[1]; }
  std::uint8_t id() const { return raw_[2]; }
  std::uint32_t time() const;
  std::uint16_t radiation_word() const;
  std::uint8_t period_code() const { return raw_[9]; }

 private:
  Report raw_;
};

// Turns the device's 16-bit radiation word into its value: high nibble 8 means
// one decimal place, F a whole number, anything else two decimal places.
double DecodeRadiation(std::uint16_t word);

}  // namespace device
