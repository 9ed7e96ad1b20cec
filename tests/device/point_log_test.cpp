#include "device/point_log.h"

#include <gtest/gtest.h>

namespace device {
namespace {

Report Entry(std::uint8_t id, std::uint8_t presence = 1) {
  return Report{0, presence, id, 0x10, 0x20, 0x30, 0x40, 0x52, 0x80, 4};
}

struct Outputs {
  std::uint8_t id = 0xAA;
  std::uint32_t time = 0xAAAAAAAA;
  double radiation = -7.5;
  std::uint8_t period = 0xAA;
};

UsbResult Lookup(const PointLog& log, std::int32_t index, Outputs& out) {
  return LookUpPoint(log, index, &out.id, &out.time, &out.radiation, &out.period);
}

void ExpectUntouched(const Outputs& out) {
  const Outputs fresh;
  EXPECT_EQ(out.id, fresh.id);
  EXPECT_EQ(out.time, fresh.time);
  EXPECT_EQ(out.radiation, fresh.radiation);
  EXPECT_EQ(out.period, fresh.period);
}

TEST(PointLog, KeepsAnswersInOrderAndClears) {
  PointLog log;
  log.append(Entry(3));
  log.append(Entry(7));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log.point(0).id(), 3);
  EXPECT_EQ(log.point(1).id(), 7);
  log.clear();
  EXPECT_EQ(log.size(), 0u);
}

TEST(LookUpPoint, FillsAllOutputsFromStoredPoint) {
  PointLog log;
  log.append(Entry(0x81));
  Outputs out;
  ASSERT_EQ(Lookup(log, 0, out), UsbOk);
  EXPECT_EQ(out.id, 0x81);  // handed out raw, not as a signed id
  EXPECT_EQ(out.time, 0x40302010u);
  EXPECT_EQ(out.radiation, 8 + 2 / 10.0);  // word 0x8052
  EXPECT_EQ(out.period, 4);                // the raw code, not the period in minutes
}

struct BadIndexCase {
  const char* label;
  int points;
  std::int32_t index;
  std::uint8_t presence;
};

class LookUpPointBadIndex : public ::testing::TestWithParam<BadIndexCase> {};

TEST_P(LookUpPointBadIndex, Returns400AndLeavesOutputsUntouched) {
  PointLog log;
  for (int i = 0; i < GetParam().points; ++i) log.append(Entry(1, GetParam().presence));
  Outputs out;
  EXPECT_EQ(Lookup(log, GetParam().index, out), UsbBadIndex) << GetParam().label;
  ExpectUntouched(out);
}

INSTANTIATE_TEST_SUITE_P(Table, LookUpPointBadIndex,
                         ::testing::Values(BadIndexCase{"negative", 3, -1, 1},
                                           BadIndexCase{"most negative", 3, INT32_MIN, 1},
                                           BadIndexCase{"equal to size", 3, 3, 1},
                                           BadIndexCase{"empty log", 0, 0, 1},
                                           BadIndexCase{"presence flag zero", 1, 0, 0}));

TEST(LookUpPoint, NullOutputsAreSkipped) {
  PointLog log;
  log.append(Entry(9));
  double radiation = 0;
  EXPECT_EQ(LookUpPoint(log, 0, nullptr, nullptr, &radiation, nullptr), UsbOk);
  EXPECT_EQ(radiation, 8 + 2 / 10.0);
}

}  // namespace
}  // namespace device
