// One logged measurement, kept as the 15 raw bytes of the device's entry answer.
#pragma once

#include <cstdint>

#include "device/protocol_numbers.h"

namespace device {

// The record's fields are little-endian and unaligned, so the bytes are stored
// as received and read through accessors.
class RadiationPoint {
 public:
  explicit RadiationPoint(const Report& raw) : raw_(raw) {}

  const Report& raw() const { return raw_; }
  std::uint8_t presence_flag() const { return raw_[kPresenceOffset]; }
  std::uint8_t id() const { return raw_[kIdOffset]; }
  std::uint32_t time() const;
  std::uint16_t radiation_word() const;
  std::uint8_t period_code() const { return raw_[kPeriodOffset]; }

 private:
  Report raw_;
};

// Turns the device's 16-bit radiation word into its value: the scale nibble
// says one decimal place, a whole number, or (any other nibble) two places.
double DecodeRadiation(std::uint16_t word);

}  // namespace device
