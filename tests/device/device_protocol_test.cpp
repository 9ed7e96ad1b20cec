#include "device/device_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "sim/sim.h"

namespace device {
namespace {

using sim::Transfer;

const sim::Serial kOldSerial{9, 9, 9, 9, 9, 9, 9};
const sim::Serial kDeviceSerial{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};

// Every request: report id 0 and a fixed prefix, the command, a little-endian
// argument, and zeros up to the report's size.
constexpr std::array<std::uint8_t, 4> kRequestPrefix{0x00, 0x12, 0x12, 0x01};

std::vector<std::uint8_t> Request(std::uint8_t command, std::uint32_t argument) {
  std::vector<std::uint8_t> bytes(kRequestPrefix.begin(), kRequestPrefix.end());
  bytes.push_back(command);
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<std::uint8_t>(argument >> shift));
  }
  bytes.resize(sim::kReportSize, 0);
  return bytes;
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
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  EXPECT_NE(link_.handle, nullptr);
  EXPECT_EQ(link_.model, 0x1212);
  EXPECT_EQ(sim::OpenHandles(), 1);
  ASSERT_EQ(sim::SentRequests().size(), 1u);
  EXPECT_EQ(sim::SentRequests()[0].bytes, Request(sim::kIdentifyCommand, 0));
  EraseDeviceLog(link_);
}

TEST_F(DeviceProtocolTest, CompleteReadIs181ExchangesAndSkipsEmptyEntries) {
  sim::SetEntry(3, sim::MakeEntry(3, 1000, 0x8052, 1));
  sim::SetEntry(7, sim::MakeEntry(7, 2000, 0xF005, 2));
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  ASSERT_EQ(ReadDeviceLog(link_, log_, &count_), UsbOk);

  EXPECT_EQ(count_, 2);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_.point(0).raw(), sim::MakeEntry(3, 1000, 0x8052, 1));
  EXPECT_EQ(log_.point(1).raw(), sim::MakeEntry(7, 2000, 0xF005, 2));
  EXPECT_EQ(link_.serial, kDeviceSerial);
  ExpectClosed();

  const auto sent = sim::SentRequests();
  ASSERT_EQ(sent.size(), 1u + 181u);  // identify, header, 180 entries
  EXPECT_EQ(sent[1].bytes, Request(sim::kHeaderCommand, 0));
  for (std::uint32_t i = 0; i < sim::kEntries; ++i) {
    ASSERT_EQ(sent[2 + i].bytes, Request(sim::kEntryCommand, i)) << "entry " << i;
  }
  EXPECT_EQ(sent[2 + 1].bytes,
            (std::vector<std::uint8_t>{0, 0x12, 0x12, 1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The answer buffer is zeroed before every fetch: identify, header, 180 entries.
  const auto zeroed = sim::FetchBuffersZeroed();
  EXPECT_EQ(zeroed, std::vector<bool>(182, true));
}

TEST_F(DeviceProtocolTest, SecondReadReplacesLogWholly) {
  sim::SetEntry(0, sim::MakeEntry(1, 1, 1, 1));
  sim::SetEntry(1, sim::MakeEntry(2, 2, 2, 2));
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  ASSERT_EQ(ReadDeviceLog(link_, log_, &count_), UsbOk);
  sim::ClearEntries();
  sim::SetEntry(5, sim::MakeEntry(6, 6, 6, 6));
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  ASSERT_EQ(ReadDeviceLog(link_, log_, &count_), UsbOk);
  EXPECT_EQ(count_, 1);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_.point(0).id(), 6);
}

struct ConnectCase {
  const char* label;
  sim::Report identify_answer;
  bool faulty;
  Transfer fault_transfer;
  int fault_result;
  UsbResult expected;
};

class ConnectTable : public DeviceProtocolTest,
                     public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectTable, ResultAndLinkState) {
  const ConnectCase& c = GetParam();
  sim::SetIdentifyAnswer(c.identify_answer);
  if (c.faulty) sim::AddFault(c.fault_transfer, sim::kIdentifyCommand, 0, c.fault_result);
  EXPECT_EQ(ConnectToDevice(link_), c.expected) << c.label;
  if (c.expected == UsbOk) {
    EXPECT_EQ(link_.model, 0x1212);
    EXPECT_EQ(EraseDeviceLog(link_), UsbOk);
  } else {
    EXPECT_EQ(link_.model, 0);
    ExpectClosed();
  }
}

const sim::Report kGoodAnswer{0, 0x52, 0x00, 0x12, 0x12};
INSTANTIATE_TEST_SUITE_P(
    Table, ConnectTable,
    ::testing::Values(
        ConnectCase{"any byte 2 accepted", {0, 0x52, 0xEE, 0x12, 0x12, 7, 7}, false, {}, 0, UsbOk},
        ConnectCase{"lower-case r refused", {0, 0x72, 0x00, 0x12, 0x12}, false, {}, 0, UsbIoError},
        ConnectCase{"byte 3 wrong", {0, 0x52, 0x00, 0x13, 0x12}, false, {}, 0, UsbIoError},
        ConnectCase{"byte 4 wrong", {0, 0x52, 0x00, 0x12, 0x00}, false, {}, 0, UsbIoError},
        ConnectCase{"send fails", kGoodAnswer, true, Transfer::kSend, -1, UsbIoError},
        ConnectCase{"send moves 0 bytes", kGoodAnswer, true, Transfer::kSend, 0, UsbIoError},
        ConnectCase{"fetch fails", kGoodAnswer, true, Transfer::kFetch, -1, UsbIoError},
        ConnectCase{"fetch delivers nothing", kGoodAnswer, true, Transfer::kFetch, 0, UsbIoError}));

TEST_F(DeviceProtocolTest, ConnectWithoutDeviceIsNoDevice) {
  sim::SetPresent(false);
  EXPECT_EQ(ConnectToDevice(link_), UsbNoDevice);
  ExpectClosed();
  EXPECT_TRUE(sim::SentRequests().empty());
}

TEST_F(DeviceProtocolTest, ExceptionFromOpenPassesThroughAndLeavesLinkClosed) {
  ASSERT_EQ(sim::ApplyConfig("throw bad_alloc\n"), "");
  sim::KeepHistory(true);  // a script turns the records off
  EXPECT_THROW(ConnectToDevice(link_), std::bad_alloc);
  ExpectClosed();
  EXPECT_TRUE(sim::SentRequests().empty());
  EXPECT_EQ(sim::ApplyConfig("throw logic_error\n"), "line 1: throw logic_error");
}

// One operation of a calling-order sequence, and the result it must give.
enum class Step { kConnect, kRead, kErase };
struct OrderCase {
  const char* label;
  std::vector<std::pair<Step, UsbResult>> steps;
  int max_open_handles;
};

class CallingOrderTable : public DeviceProtocolTest,
                          public ::testing::WithParamInterface<OrderCase> {};

TEST_P(CallingOrderTable, EachStepGivesItsResultAndNoHandleIsLeft) {
  sim::FillRealisticLog(3);
  for (const auto& [step, expected] : GetParam().steps) {
    count_ = -5;
    switch (step) {
      case Step::kConnect:
        EXPECT_EQ(ConnectToDevice(link_), expected) << GetParam().label;
        break;
      case Step::kRead:
        EXPECT_EQ(ReadDeviceLog(link_, log_, &count_), expected) << GetParam().label;
        if (expected != UsbOk) {
          EXPECT_EQ(count_, 0) << GetParam().label;
        }
        break;
      case Step::kErase:
        EXPECT_EQ(EraseDeviceLog(link_), expected) << GetParam().label;
        break;
    }
  }
  ExpectClosed();
  EXPECT_EQ(sim::MaxOpenHandles(), GetParam().max_open_handles);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CallingOrderTable,
    ::testing::Values(
        OrderCase{"read before connect", {{Step::kRead, UsbNoDevice}}, 0},
        OrderCase{"erase before connect", {{Step::kErase, UsbNoDevice}}, 0},
        OrderCase{"a read closes the link",
                  {{Step::kConnect, UsbOk}, {Step::kRead, UsbOk}, {Step::kRead, UsbNoDevice}},
                  1},
        OrderCase{"an erase closes the link",
                  {{Step::kConnect, UsbOk}, {Step::kErase, UsbOk}, {Step::kErase, UsbNoDevice}},
                  1},
        OrderCase{"a second connect closes the first handle before opening",
                  {{Step::kConnect, UsbOk}, {Step::kConnect, UsbOk}, {Step::kRead, UsbOk}},
                  1},
        OrderCase{"a read after an erase needs its own connect",
                  {{Step::kConnect, UsbOk},
                   {Step::kErase, UsbOk},
                   {Step::kRead, UsbNoDevice},
                   {Step::kConnect, UsbOk},
                   {Step::kRead, UsbOk}},
                  1}));

TEST_F(DeviceProtocolTest, ReadAndEraseOnClosedLinkSendNothingAndKeepOldState) {
  EXPECT_EQ(ReadDeviceLog(link_, log_, &count_), UsbNoDevice);
  EXPECT_EQ(EraseDeviceLog(link_), UsbNoDevice);
  EXPECT_TRUE(sim::SentRequests().empty());
  EXPECT_EQ(sim::OpenCalls(), 0);
  ExpectOldLogAndSerial();
}

struct ReadFailureCase {
  const char* label;
  Transfer transfer;
  std::uint8_t command;
  int index;
  UsbResult expected;
  bool header_arrived;
};

class ReadFailureTable : public DeviceProtocolTest,
                         public ::testing::WithParamInterface<ReadFailureCase> {};

TEST_P(ReadFailureTable, ResultLinkSerialAndLog) {
  const ReadFailureCase& c = GetParam();
  sim::FillRealisticLog(sim::kEntries);
  sim::AddFault(c.transfer, c.command, c.index, -1);
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  EXPECT_EQ(ReadDeviceLog(link_, log_, &count_), c.expected) << c.label;
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
    EXPECT_EQ(log_.point(static_cast<std::size_t>(c.index) - 1).id(), c.index);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadFailureTable,
    ::testing::Values(ReadFailureCase{"header send", Transfer::kSend, sim::kHeaderCommand, 0,
                                      UsbSendError, false},
                      ReadFailureCase{"header fetch", Transfer::kFetch, sim::kHeaderCommand, 0,
                                      UsbIoError, false},
                      ReadFailureCase{"first entry send", Transfer::kSend, sim::kEntryCommand, 0,
                                      UsbIoError, true},
                      ReadFailureCase{"entry 20 send", Transfer::kSend, sim::kEntryCommand, 20,
                                      UsbIoError, true},
                      ReadFailureCase{"entry 50 fetch", Transfer::kFetch, sim::kEntryCommand, 50,
                                      UsbIoError, true},
                      ReadFailureCase{"last entry fetch", Transfer::kFetch, sim::kEntryCommand, 179,
                                      UsbIoError, true}));

TEST_F(DeviceProtocolTest, EntrySendMovingZeroBytesIsNoFailure) {
  sim::FillRealisticLog(10);
  sim::AddFault(Transfer::kSend, sim::kEntryCommand, 4, 0);
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  EXPECT_EQ(ReadDeviceLog(link_, log_, &count_), UsbOk);
  EXPECT_EQ(sim::SentRequests().size(), 182u);
  ExpectClosed();
}

struct EraseCase {
  const char* label;
  bool faulty;
  int send_result;
  UsbResult expected;
};

class EraseTable : public DeviceProtocolTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseTable, SendsEraseOnlyAndClosesWhateverTheResult) {
  sim::FillRealisticLog(5);
  if (GetParam().faulty) {
    sim::AddFault(Transfer::kSend, sim::kEraseCommand, 0, GetParam().send_result);
  }
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  EXPECT_EQ(EraseDeviceLog(link_), GetParam().expected) << GetParam().label;
  const auto sent = sim::SentRequests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].bytes, Request(sim::kEraseCommand, 0));
  EXPECT_EQ(sim::FetchBuffersZeroed().size(), 1u);  // no answer fetched after the erase
  ExpectClosed();
  ExpectOldLogAndSerial();  // erasing the device leaves our copy alone
}

INSTANTIATE_TEST_SUITE_P(Table, EraseTable,
                         ::testing::Values(EraseCase{"send succeeds", false, 0, UsbOk},
                                           EraseCase{"send fails", true, -1, UsbIoError},
                                           EraseCase{"send moves 0 bytes", true, 0, UsbIoError}));

TEST_F(DeviceProtocolTest, NullCountIsSkipped) {
  sim::FillRealisticLog(3);
  ASSERT_EQ(ConnectToDevice(link_), UsbOk);
  EXPECT_EQ(ReadDeviceLog(link_, log_, nullptr), UsbOk);
  EXPECT_EQ(log_.size(), 3u);
}

}  // namespace
}  // namespace device
