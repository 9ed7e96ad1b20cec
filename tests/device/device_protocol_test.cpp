#include "device/device_protocol.h"

#include <gtest/gtest.h>

#include <new>

#include "sim/sim.h"

namespace device {
namespace {

constexpr std::uint8_t kSend = 0, kFetch = 1;  // column values for fault tables
constexpr std::uint8_t kIdentify = 0, kHeader = 1, kEntry = 2, kErase = 3;

const std::array<std::uint8_t, 7> kOldSerial{9, 9, 9, 9, 9, 9, 9};
const std::array<std::uint8_t, 7> kDeviceSerial{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};

std::vector<std::uint8_t> Request(std::uint8_t command, std::uint32_t argument) {
  return {0x00,
          0x12,
          0x12,
          0x01,
          command,
          static_cast<std::uint8_t>(argument),
          static_cast<std::uint8_t>(argument >> 8),
          static_cast<std::uint8_t>(argument >> 16),
          static_cast<std::uint8_t>(argument >> 24),
          0,
          0,
          0,
          0,
          0,
          0};
}

void AddFault(std::uint8_t transfer, std::uint8_t command, int index, int result) {
  sim::AddFault(transfer == kSend ? sim::Transfer::kSend : sim::Transfer::kFetch, command, index,
                result);
}

class DeviceProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::SetSerial(kDeviceSerial);
    link_.serial = kOldSerial;
    log_.append(sim::MakeEntry(99, 1, 2, 3));  // left over from an earlier read
  }
  void TearDown() override { EXPECT_EQ(sim::StaleHandleCalls(), 0); }

  void ExpectClosed() {
    EXPECT_EQ(link_.handle, nullptr);
    EXPECT_EQ(sim::OpenHandles(), 0);
  }
  void ExpectOldLogAndSerial() {
    EXPECT_EQ(link_.serial, kOldSerial);
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_.point(0).id(), 99);
  }

  DeviceLink link_;
  PointLog log_;
  std::int32_t count_ = -5;
};

TEST_F(DeviceProtocolTest, ConnectIdentifiesDeviceAndKeepsLinkOpen) {
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_NE(link_.handle, nullptr);
  EXPECT_EQ(link_.model, 0x1212);
  EXPECT_EQ(sim::OpenHandles(), 1);
  ASSERT_EQ(sim::SentRequests().size(), 1u);
  EXPECT_EQ(sim::SentRequests()[0].bytes, Request(kIdentify, 0));
  UsbErase(link_);
}

TEST_F(DeviceProtocolTest, CompleteReadIs181ExchangesAndSkipsEmptyEntries) {
  sim::SetEntry(3, sim::MakeEntry(3, 1000, 0x8052, 1));
  sim::SetEntry(7, sim::MakeEntry(7, 2000, 0xF005, 2));
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  ASSERT_EQ(UsbReadAll(link_, log_, &count_), UsbOk);

  EXPECT_EQ(count_, 2);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_.point(0).raw(), sim::MakeEntry(3, 1000, 0x8052, 1));
  EXPECT_EQ(log_.point(1).raw(), sim::MakeEntry(7, 2000, 0xF005, 2));
  EXPECT_EQ(link_.serial, kDeviceSerial);
  ExpectClosed();

  const auto sent = sim::SentRequests();
  ASSERT_EQ(sent.size(), 1u + 181u);  // identify, header, 180 entries
  EXPECT_EQ(sent[1].bytes, Request(kHeader, 0));
  for (std::uint32_t i = 0; i < 180; ++i) {
    ASSERT_EQ(sent[2 + i].bytes, Request(kEntry, i)) << "entry " << i;
  }
  const auto zeroed = sim::FetchBuffersZeroed();
  EXPECT_EQ(zeroed.size(), 182u);
  EXPECT_EQ(std::count(zeroed.begin(), zeroed.end(), true), 182);
}

TEST_F(DeviceProtocolTest, EntryRequestForIndexOneHasExactBytes) {
  const Report request = MakeRequest(Command::kReadEntry, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(request.begin(), request.end()),
            (std::vector<std::uint8_t>{0, 0x12, 0x12, 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const Report large = MakeRequest(Command::kReadEntry, 0x01020304);
  EXPECT_EQ(large[5], 0x04);
  EXPECT_EQ(large[8], 0x01);
}

TEST_F(DeviceProtocolTest, SecondReadReplacesLogWholly) {
  sim::SetEntry(0, sim::MakeEntry(1, 1, 1, 1));
  sim::SetEntry(1, sim::MakeEntry(2, 2, 2, 2));
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  ASSERT_EQ(UsbReadAll(link_, log_, &count_), UsbOk);
  sim::ClearEntries();
  sim::SetEntry(5, sim::MakeEntry(6, 6, 6, 6));
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  ASSERT_EQ(UsbReadAll(link_, log_, &count_), UsbOk);
  EXPECT_EQ(count_, 1);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_.point(0).id(), 6);
}

struct ConnectCase {
  const char* label;
  sim::Report identify_answer;
  int fault_transfer;  // -1: none
  int fault_result;
  UsbResult expected;
};

class ConnectTable : public DeviceProtocolTest,
                     public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectTable, ResultAndLinkState) {
  const ConnectCase& c = GetParam();
  sim::SetIdentifyAnswer(c.identify_answer);
  if (c.fault_transfer >= 0) {
    AddFault(static_cast<std::uint8_t>(c.fault_transfer), kIdentify, 0, c.fault_result);
  }
  EXPECT_EQ(UsbConnect(link_), c.expected) << c.label;
  if (c.expected == UsbOk) {
    EXPECT_EQ(link_.model, 0x1212);
    EXPECT_EQ(UsbErase(link_), UsbOk);
  } else {
    EXPECT_EQ(link_.model, 0);
    ExpectClosed();
  }
}

const sim::Report kGoodAnswer{0, 0x52, 0x00, 0x12, 0x12};
INSTANTIATE_TEST_SUITE_P(
    Table, ConnectTable,
    ::testing::Values(
        ConnectCase{"any byte 2 accepted", {0, 0x52, 0xEE, 0x12, 0x12, 7, 7}, -1, 0, UsbOk},
        ConnectCase{"lower-case r refused", {0, 0x72, 0x00, 0x12, 0x12}, -1, 0, UsbIoError},
        ConnectCase{"byte 3 wrong", {0, 0x52, 0x00, 0x13, 0x12}, -1, 0, UsbIoError},
        ConnectCase{"byte 4 wrong", {0, 0x52, 0x00, 0x12, 0x00}, -1, 0, UsbIoError},
        ConnectCase{"send fails", kGoodAnswer, kSend, -1, UsbIoError},
        ConnectCase{"send moves 0 bytes", kGoodAnswer, kSend, 0, UsbIoError},
        ConnectCase{"fetch fails", kGoodAnswer, kFetch, -1, UsbIoError},
        ConnectCase{"fetch delivers nothing", kGoodAnswer, kFetch, 0, UsbIoError}));

TEST_F(DeviceProtocolTest, ConnectWithoutDeviceIsNoDevice) {
  sim::SetPresent(false);
  EXPECT_EQ(UsbConnect(link_), UsbNoDevice);
  ExpectClosed();
  EXPECT_TRUE(sim::SentRequests().empty());
}

TEST_F(DeviceProtocolTest, ExceptionFromOpenPassesThroughAndLeavesLinkClosed) {
  ASSERT_EQ(sim::ApplyConfig("throw bad_alloc\n"), "");
  sim::KeepHistory(true);  // a script turns the records off
  EXPECT_THROW(UsbConnect(link_), std::bad_alloc);
  ExpectClosed();
  EXPECT_TRUE(sim::SentRequests().empty());
  EXPECT_EQ(sim::ApplyConfig("throw logic_error\n"), "line 1: throw logic_error");
}

TEST_F(DeviceProtocolTest, ConnectOnOpenLinkClosesOldHandle) {
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(sim::OpenHandles(), 1);
  EXPECT_EQ(sim::MaxOpenHandles(), 1);
  EXPECT_EQ(UsbErase(link_), UsbOk);
  ExpectClosed();
}

struct ReadFailureCase {
  const char* label;
  std::uint8_t transfer;
  std::uint8_t command;
  int index;
  UsbResult expected;
  bool header_arrived;
};

class ReadFailureTable : public DeviceProtocolTest,
                         public ::testing::WithParamInterface<ReadFailureCase> {};

TEST_P(ReadFailureTable, ResultLinkSerialAndLog) {
  const ReadFailureCase& c = GetParam();
  sim::FillRealisticLog(180);
  AddFault(c.transfer, c.command, c.index, -1);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbReadAll(link_, log_, &count_), c.expected) << c.label;
  EXPECT_EQ(count_, 0);
  ExpectClosed();
  if (!c.header_arrived) {
    ExpectOldLogAndSerial();
    return;
  }
  EXPECT_EQ(link_.serial, kDeviceSerial);
  // Entries before the failing one were appended; GetPoint still serves them.
  EXPECT_EQ(log_.size(), static_cast<std::size_t>(c.index));
  if (c.index > 0) {
    EXPECT_EQ(GetPoint(log_, c.index - 1, nullptr, nullptr, nullptr, nullptr), UsbOk);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadFailureTable,
    ::testing::Values(ReadFailureCase{"header send", kSend, kHeader, 0, UsbSendError, false},
                      ReadFailureCase{"header fetch", kFetch, kHeader, 0, UsbIoError, false},
                      ReadFailureCase{"first entry send", kSend, kEntry, 0, UsbIoError, true},
                      ReadFailureCase{"entry 20 send", kSend, kEntry, 20, UsbIoError, true},
                      ReadFailureCase{"entry 50 fetch", kFetch, kEntry, 50, UsbIoError, true},
                      ReadFailureCase{"last entry fetch", kFetch, kEntry, 179, UsbIoError, true}));

TEST_F(DeviceProtocolTest, EntrySendMovingZeroBytesIsNoFailure) {
  sim::FillRealisticLog(10);
  AddFault(kSend, kEntry, 4, 0);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbReadAll(link_, log_, &count_), UsbOk);
  EXPECT_EQ(sim::SentRequests().size(), 182u);
  ExpectClosed();
}

TEST_F(DeviceProtocolTest, ReadAndEraseOnClosedLinkSendNothing) {
  EXPECT_EQ(UsbReadAll(link_, log_, &count_), UsbNoDevice);
  EXPECT_EQ(count_, 0);
  EXPECT_EQ(UsbErase(link_), UsbNoDevice);
  EXPECT_TRUE(sim::SentRequests().empty());
  EXPECT_EQ(sim::OpenCalls(), 0);
  ExpectOldLogAndSerial();
}

TEST_F(DeviceProtocolTest, ReadClosesLinkSoSecondReadIsNoDevice) {
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbReadAll(link_, log_, &count_), UsbOk);
  EXPECT_EQ(UsbReadAll(link_, log_, &count_), UsbNoDevice);
  EXPECT_EQ(count_, 0);
}

TEST_F(DeviceProtocolTest, EraseSendsEraseClosesAndSecondEraseIsNoDevice) {
  sim::FillRealisticLog(5);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbErase(link_), UsbOk);
  EXPECT_EQ(sim::SentRequests().back().bytes, Request(kErase, 0));
  EXPECT_EQ(sim::FetchBuffersZeroed().size(), 1u);  // the identify answer only
  ExpectClosed();
  EXPECT_EQ(UsbErase(link_), UsbNoDevice);
  ExpectOldLogAndSerial();  // erasing the device leaves our copy alone
}

TEST_F(DeviceProtocolTest, EraseSendFailureIsIoErrorAndCloses) {
  AddFault(kSend, kErase, 0, -1);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbErase(link_), UsbIoError);
  ExpectClosed();
}

TEST_F(DeviceProtocolTest, NullCountIsSkipped) {
  sim::FillRealisticLog(3);
  ASSERT_EQ(UsbConnect(link_), UsbOk);
  EXPECT_EQ(UsbReadAll(link_, log_, nullptr), UsbOk);
  EXPECT_EQ(log_.size(), 3u);
}

}  // namespace
}  // namespace device
