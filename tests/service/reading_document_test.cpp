#include "service/reading_document.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "device/radiation_point.h"

namespace {

struct CheckCase {
  UsbResult result;
  DeviceStatus step;
  int thrown;  // -1: returns
};

class CheckUsbResultTable : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckUsbResultTable, ReturnsOrThrowsStatus) {
  const CheckCase& c = GetParam();
  if (c.thrown < 0) {
    EXPECT_NO_THROW(CheckUsbResult(c.result, c.step));
    return;
  }
  try {
    CheckUsbResult(c.result, c.step);
    FAIL() << "no throw for " << c.result;
  } catch (DeviceStatus status) {
    EXPECT_EQ(status, c.thrown) << "result " << c.result;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckUsbResultTable,
    ::testing::Values(CheckCase{1, StatusReadFailed, -1}, CheckCase{100, StatusConnectFailed, 5},
                      CheckCase{200, StatusConnectFailed, 6}, CheckCase{300, StatusReadFailed, 7},
                      CheckCase{400, StatusReadFailed, 8}, CheckCase{42, StatusReadFailed, 2},
                      CheckCase{0, StatusConnectFailed, 1}, CheckCase{-1, StatusEraseFailed, 4}));

TEST(ValueTexts, Integers) {
  EXPECT_EQ(IntegerText(static_cast<std::int8_t>(0xFF)), "-1");
  EXPECT_EQ(IntegerText(static_cast<std::int8_t>(0x7F)), "127");
  EXPECT_EQ(IntegerText(static_cast<std::int8_t>(0x80)), "-128");
  EXPECT_EQ(IntegerText(4294967295u), "4294967295");
  EXPECT_EQ(IntegerText(0), "0");
}

struct RadiationCase {
  std::uint16_t word;
  const char* text;
};

class RadiationTextTable : public ::testing::TestWithParam<RadiationCase> {};

TEST_P(RadiationTextTable, SixteenSignificantDigits) {
  EXPECT_EQ(RadiationText(device::DecodeRadiation(GetParam().word)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, RadiationTextTable,
                         ::testing::Values(RadiationCase{0xF005, "5"}, RadiationCase{0x8000, "0"},
                                           RadiationCase{0x8052, "8.199999999999999"},
                                           RadiationCase{0x8281, "64.09999999999999"},
                                           RadiationCase{0x000C, "0.12"},
                                           RadiationCase{0x83FF, "102.3"},
                                           RadiationCase{0xF3FF, "1023"}));

TEST(ValueTexts, RadiationTextOfEveryWordIsPercentSixteenG) {
  for (int word = 0; word <= 0xFFFF; ++word) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.16g",
                  device::DecodeRadiation(static_cast<std::uint16_t>(word)));
    ASSERT_EQ(RadiationWordText(static_cast<std::uint16_t>(word)), expected) << std::hex << word;
  }
}

TEST(PeriodFromCode, TableAndUnknownCodes) {
  const int expected[] = {1, 5, 10, 30, 60, 120, 240, 360, 720, 1440};
  for (int code = 0; code < 10; ++code) EXPECT_EQ(PeriodFromCode(code), expected[code]) << code;
  EXPECT_EQ(PeriodFromCode(10), -1);
  EXPECT_EQ(PeriodFromCode(255), -1);
}

}  // namespace
