#include "service/point_texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

namespace {

template <std::size_t Capacity>
std::string_view Text(const service::InlineText<Capacity>& text) {
  return std::string_view(text.bytes, text.size);
}

std::string_view IdTextOf(std::uint8_t id) {
  return Text(service::IdTextOf(id));
}
std::string_view PeriodTextOf(std::uint8_t code) {
  return Text(service::PeriodTextOf(code));
}
std::string_view RadiationTextOf(std::uint16_t word) {
  return Text(service::RadiationTextOf(word));
}

struct RadiationCase {
  std::uint16_t word;
  const char* text;
};

class RadiationTexts : public ::testing::TestWithParam<RadiationCase> {};

TEST_P(RadiationTexts, SixteenSignificantDigits) {
  EXPECT_EQ(RadiationTextOf(GetParam().word), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, RadiationTexts,
                         ::testing::Values(RadiationCase{0xF005, "5"}, RadiationCase{0x8000, "0"},
                                           RadiationCase{0x8052, "8.199999999999999"},
                                           RadiationCase{0x8281, "64.09999999999999"},
                                           RadiationCase{0x000C, "0.12"},
                                           RadiationCase{0x0007, "0.07000000000000001"},
                                           RadiationCase{0x83FF, "102.3"},
                                           RadiationCase{0xF3FF, "1023"},
                                           // bits 10 and 11 carry nothing
                                           RadiationCase{0xFC05, "5"},
                                           // any high nibble but 8 and F means two places
                                           RadiationCase{0x700C, "0.12"}));

// The device's rule, written out here on its own: high nibble 8 is one
// decimal place (q + r / 10.0), F a whole number, anything else two places.
double RadiationValue(unsigned word) {
  const unsigned mantissa = word % 1024;
  switch (word >> 12) {
    case 0x8:
      return mantissa / 10 + (mantissa % 10) / 10.0;
    case 0xF:
      return mantissa;
    default:
      return mantissa / 100 + (mantissa % 100) / 100.0;
  }
}

TEST(RadiationTextOf, EveryWordIsPrintfSixteenG) {
  for (unsigned word = 0; word <= 0xFFFF; ++word) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.16g", RadiationValue(word));
    ASSERT_EQ(RadiationTextOf(static_cast<std::uint16_t>(word)), expected) << std::hex << word;
  }
}

TEST(IdTextOf, SignedByte) {
  EXPECT_EQ(IdTextOf(0x00), "0");
  EXPECT_EQ(IdTextOf(0x01), "1");
  EXPECT_EQ(IdTextOf(0x7F), "127");
  EXPECT_EQ(IdTextOf(0x80), "-128");
  EXPECT_EQ(IdTextOf(0xFF), "-1");
  for (int byte = 0; byte < 256; ++byte) {
    char expected[8];
    std::snprintf(expected, sizeof expected, "%d", byte < 128 ? byte : byte - 256);
    ASSERT_EQ(IdTextOf(static_cast<std::uint8_t>(byte)), expected) << byte;
  }
}

TEST(PeriodTextOf, MinutesAndUnknownCodes) {
  const char* expected[] = {"1", "5", "10", "30", "60", "120", "240", "360", "720", "1440"};
  for (int code = 0; code < 10; ++code) EXPECT_EQ(PeriodTextOf(code), expected[code]);
  for (int code = 10; code < 256; ++code) ASSERT_EQ(PeriodTextOf(code), "-1") << code;
}

}  // namespace
