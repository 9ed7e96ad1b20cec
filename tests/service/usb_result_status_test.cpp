#include "service/usb_result_status.h"

#include <gtest/gtest.h>

namespace {

using namespace service;

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

}  // namespace
