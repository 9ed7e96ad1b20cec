// The simulated dosimeter's own copy of the protocol's numbers, beside the
// ones its scripting API names. It is kept apart from the device layer's on
// purpose, so that one mistake cannot pass in both places.
#pragma once

#include <cstddef>

#include "sim/sim.h"

namespace sim {

inline constexpr unsigned short kVendorId = 0x03EB;
inline constexpr unsigned short kProductId = 0x5603;

// Request: the command byte, then a 4-byte little-endian argument.
inline constexpr std::size_t kCommandByte = 4;
inline constexpr std::size_t kArgumentByte = 5;

// The answer a healthy device gives to identify: 'R', any byte, the model bytes.
inline constexpr Report kHealthyIdentifyAnswer{0x00, 0x52, 0x01, 0x12, 0x12};

// Header answer: the serial number starts at this byte.
inline constexpr std::size_t kSerialByte = 1;

// Entry record; multi-byte fields are little-endian.
inline constexpr std::size_t kPresenceByte = 1;
inline constexpr std::size_t kIdByte = 2;
inline constexpr std::size_t kTimeByte = 3;       // 4 bytes
inline constexpr std::size_t kRadiationByte = 7;  // 2 bytes
inline constexpr std::size_t kPeriodByte = 9;

}  // namespace sim
