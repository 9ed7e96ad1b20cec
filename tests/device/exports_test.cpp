#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "device/device_state.h"
#include "device/export.h"
#include "sim/sim.h"

namespace {

struct FreeText {
  void operator()(char* text) const { std::free(text); }
};
using CallerText = std::unique_ptr<char, FreeText>;

std::string Serial() {
  return CallerText(GetDeviceSerialNumber()).get();
}
std::string Model() {
  return CallerText(GetDeviceModel()).get();
}

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device::ResetProcessState();
    sim::Reset();
  }
  void TearDown() override { EXPECT_EQ(sim::OpenHandles(), 0); }
};

TEST_F(ExportsTest, TextsBeforeAnyReadAreZeros) {
  EXPECT_EQ(Serial(), "00000000000000");
  EXPECT_EQ(Model(), "0000");
}

TEST_F(ExportsTest, TextsAfterConnectAndRead) {
  sim::SetSerial({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD});
  ASSERT_EQ(UsbConnect(), UsbOk);
  EXPECT_EQ(Model(), "1212");
  EXPECT_EQ(Serial(), "00000000000000");  // the header answer has not arrived yet
  std::int32_t count = -1;
  ASSERT_EQ(UsbReadAll(&count), UsbOk);
  EXPECT_EQ(Serial(), "0123456789abcd");
}

TEST_F(ExportsTest, EachCallReturnsANewBlock) {
  CallerText first(GetDeviceModel());
  CallerText second(GetDeviceModel());
  EXPECT_NE(first.get(), second.get());
}

TEST_F(ExportsTest, ReadThenFetchEveryPoint) {
  sim::SetEntry(0, sim::MakeEntry(0xFF, 4294967295u, 0x8052, 9));
  sim::SetEntry(9, sim::MakeEntry(2, 1396440060, 0xF005, 0));
  ASSERT_EQ(UsbConnect(), UsbOk);
  std::int32_t count = 0;
  ASSERT_EQ(UsbReadAll(&count), UsbOk);
  ASSERT_EQ(count, 2);

  std::uint8_t id = 0, period = 0;
  std::uint32_t time = 0;
  double radiation = 0;
  ASSERT_EQ(GetPoint(0, &id, &time, &radiation, &period), UsbOk);
  EXPECT_EQ(id, 0xFF);
  EXPECT_EQ(time, 4294967295u);
  EXPECT_EQ(radiation, 8 + 2 / 10.0);
  EXPECT_EQ(period, 9);
  ASSERT_EQ(GetPoint(1, &id, &time, &radiation, &period), UsbOk);
  EXPECT_EQ(radiation, 5.0);
  EXPECT_EQ(GetPoint(2, &id, &time, &radiation, &period), UsbBadIndex);
}

TEST_F(ExportsTest, EmptyLogGivesNoPointZero) {
  ASSERT_EQ(UsbConnect(), UsbOk);
  std::int32_t count = -1;
  ASSERT_EQ(UsbReadAll(&count), UsbOk);
  EXPECT_EQ(count, 0);
  double radiation = -1;
  EXPECT_EQ(GetPoint(0, nullptr, nullptr, &radiation, nullptr), UsbBadIndex);
  EXPECT_EQ(radiation, -1);
}

TEST_F(ExportsTest, CallingOrder) {
  std::int32_t count = 7;
  EXPECT_EQ(UsbReadAll(&count), UsbNoDevice);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(UsbErase(), UsbNoDevice);
  ASSERT_EQ(UsbConnect(), UsbOk);
  EXPECT_EQ(UsbErase(), UsbOk);
  EXPECT_EQ(UsbErase(), UsbNoDevice);
  ASSERT_EQ(UsbConnect(), UsbOk);
  EXPECT_EQ(UsbReadAll(&count), UsbOk);
  EXPECT_EQ(UsbReadAll(&count), UsbNoDevice);
}

}  // namespace
