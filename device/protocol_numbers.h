// Every number of the dosimeter's feature-report protocol, named once for the
// whole device layer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace device {

// The dosimeter on the USB bus.
inline constexpr unsigned short kVendorId = 0x03EB;
inline constexpr unsigned short kProductId = 0x5603;

// Every request and every answer is one feature report of this size.
inline constexpr std::size_t kReportSize = 15;
using Report = std::array<std::uint8_t, kReportSize>;

// What hidapi returns for a failed call.
inline constexpr int kHidFailure = -1;

// Request: report id 0 and a fixed prefix, the command, then its argument,
// little-endian. The remaining bytes are sent as zeros.
inline constexpr std::array<std::uint8_t, 4> kRequestPrefix{0x00, 0x12, 0x12, 0x01};
inline constexpr std::size_t kCommandOffset = 4;
inline constexpr std::size_t kArgumentOffset = 5;
inline constexpr std::size_t kArgumentSize = 4;

enum class Command : std::uint8_t { kIdentify = 0, kReadHeader = 1, kReadEntry = 2, kErase = 3 };

// Identify answer: accepted when byte 1 is 'R' and the two model bytes follow
// byte 2 (which is not looked at). Identifying sets the model word.
inline constexpr std::size_t kIdentifyMarkOffset = 1;
inline constexpr std::uint8_t kIdentifyMark = 0x52;  // 'R'
inline constexpr std::size_t kIdentifyModelOffset = 3;
inline constexpr std::array<std::uint8_t, 2> kIdentifyModelBytes{0x12, 0x12};
inline constexpr std::uint16_t kIdentifiedModel = 0x1212;

// Header answer: the serial number, kept as it arrives.
inline constexpr std::size_t kSerialOffset = 1;
inline constexpr std::size_t kSerialSize = 7;

// The log: every entry answer is one measurement record; the presence byte is
// non-zero when the entry holds one. Multi-byte fields are little-endian.
inline constexpr std::uint32_t kLogEntries = 180;
inline constexpr std::size_t kPresenceOffset = 1;
inline constexpr std::size_t kIdOffset = 2;
inline constexpr std::size_t kTimeOffset = 3;       // 4 bytes
inline constexpr std::size_t kRadiationOffset = 7;  // 2 bytes
inline constexpr std::size_t kPeriodOffset = 9;

// The radiation word: a 10-bit mantissa and a scale nibble. Bits 10 and 11
// carry nothing; any nibble other than the two named means two decimal places.
inline constexpr std::uint16_t kMantissaMask = 0x03FF;
inline constexpr std::uint16_t kScaleMask = 0xF000;
inline constexpr std::uint16_t kScaleOneDecimal = 0x8000;
inline constexpr std::uint16_t kScaleWhole = 0xF000;

}  // namespace device
