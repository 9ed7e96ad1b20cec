#include "device/radiation_point.h"

#include <gtest/gtest.h>

namespace device {
namespace {

struct DecodeCase {
  const char* label;
  std::uint16_t word;
  double expected;
};

class DecodeRadiationTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeRadiationTest, DecodesWord) {
  // Exact comparison: the value must be the one computed as q + r / 10.0 (or / 100.0).
  EXPECT_EQ(DecodeRadiation(GetParam().word), GetParam().expected) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeRadiationTest,
    ::testing::Values(DecodeCase{"one place, zero", 0x8000, 0.0},
                      DecodeCase{"one place, largest", 0x83FF, 102 + 3 / 10.0},
                      DecodeCase{"one place, bits 10 and 11 ignored", 0x8FFF, 102 + 3 / 10.0},
                      DecodeCase{"one place, 8.2 computed as 8 + 2/10.0", 0x8052, 8 + 2 / 10.0},
                      DecodeCase{"whole number, largest", 0xF3FF, 1023.0},
                      DecodeCase{"whole number, bits 10 and 11 ignored", 0xFFFF, 1023.0},
                      DecodeCase{"whole number, five", 0xF005, 5.0},
                      DecodeCase{"two places, nibble 0", 0x03FF, 10 + 23 / 100.0},
                      DecodeCase{"two places, nibble 7", 0x7FFF, 10 + 23 / 100.0},
                      DecodeCase{"two places, nibble 9", 0x9123, 2 + 91 / 100.0},
                      DecodeCase{"two places, only ignored bits set", 0x0C00, 0.0},
                      DecodeCase{"two places, 0.12", 0x000C, 0.12}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DecodeRadiation, TwoPlacesDifferFromPlainDivisionFor43Mantissas) {
  int differing = 0;
  for (int m = 0; m < 1024; ++m) {
    if (DecodeRadiation(static_cast<std::uint16_t>(m)) != m / 100.0) ++differing;
  }
  EXPECT_EQ(differing, 43);
}

TEST(RadiationPoint, ReadsLittleEndianFieldsFromRawBytes) {
  const Report raw{0x00, 0x01, 0xFE, 0x78, 0x56, 0x34, 0x12, 0x52, 0x80, 0x09, 1, 2, 3, 4, 5};
  const RadiationPoint point(raw);
  EXPECT_EQ(point.presence_flag(), 0x01);
  EXPECT_EQ(point.id(), 0xFE);
  EXPECT_EQ(point.time(), 0x12345678u);
  EXPECT_EQ(point.radiation_word(), 0x8052);
  EXPECT_EQ(point.period_code(), 9);
  EXPECT_EQ(point.raw(), raw);
}

}  // namespace
}  // namespace device
