// The texts of a point's id, period and radiation values, looked up in tables
// made once: each of these fields has only a few hundred or thousand values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace service {

// A short text stored inline, so that a table of them is one flat array and a
// copy of one is a fixed-size move.
template <std::size_t Capacity>
struct InlineText {
  static constexpr std::size_t kCapacity = Capacity;
  char bytes[Capacity];
  std::uint8_t size;
};

// "-128" is the longest id, "1440" the longest period.
using IdText = InlineText<7>;
using PeriodText = InlineText<7>;
// %.16g of a decoded radiation value has at most 19 characters.
using RadiationText = InlineText<23>;

// The id byte as a signed decimal ("-1" for 0xFF).
const IdText& IdTextOf(std::uint8_t id);
// The logging period in minutes for a period code; "-1" for unknown codes.
const PeriodText& PeriodTextOf(std::uint8_t code);
// The decoded radiation word in general notation with 16 significant digits,
// exactly as printf's %.16g in the C locale.
const RadiationText& RadiationTextOf(std::uint16_t word);

}  // namespace service
