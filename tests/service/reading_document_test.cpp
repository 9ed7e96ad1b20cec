#include "service/reading_document.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "sim/sim.h"
#include "tests/golden/documents.h"

namespace {

using service::ReadingDocument;

// The device of the golden documents: model 1212, serial 0123456789abcd.
device::DeviceLink GoldenLink() {
  device::DeviceLink link;
  link.model = 0x1212;
  link.serial = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};
  return link;
}

device::PointLog LogOf(std::initializer_list<sim::Report> entries) {
  device::PointLog log;
  for (const sim::Report& entry : entries) log.append(entry);
  return log;
}

TEST(ReadingDocument, TwoPointReadoutIsTheGoldenText) {
  const device::PointLog log =
      LogOf({sim::MakeEntry(1, 1396440000, 0x000C, 0), sim::MakeEntry(2, 1396440060, 0x8052, 4)});
  std::string text;
  ReadingDocument document(text);
  document.PutDeviceInfo(GoldenLink());
  document.PutPoints(log);
  document.PutStatus(service::StatusOk);
  EXPECT_EQ(text, golden::kTwoPointExample);
}

struct MembersCase {
  const char* label;
  std::function<void(ReadingDocument&)> put;
  std::string expected;
};

void PrintTo(const MembersCase& c, std::ostream* os) {
  *os << c.label;
}

class MemberSubsets : public ::testing::TestWithParam<MembersCase> {};

TEST_P(MemberSubsets, LaidOutLikeTheGoldenTexts) {
  std::string text;
  ReadingDocument document(text);
  GetParam().put(document);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MemberSubsets,
    ::testing::Values(MembersCase{"status alone",
                                  [](ReadingDocument& d) { d.PutStatus(service::StatusNoDevice); },
                                  golden::StatusOnly("6")},
                      MembersCase{"device info and status",
                                  [](ReadingDocument& d) {
                                    d.PutDeviceInfo(GoldenLink());
                                    d.PutStatus(service::StatusNoPoints);
                                  },
                                  golden::InfoAndStatus("0123456789abcd", "3")},
                      MembersCase{"a fresh link shows zeros",
                                  [](ReadingDocument& d) {
                                    d.PutDeviceInfo(device::DeviceLink{});
                                    d.PutStatus(service::StatusSendError);
                                  },
                                  "{\n"
                                  "    \"DeviceInfo\":\n"
                                  "    {\n"
                                  "        \"Model\": \"0000\",\n"
                                  "        \"SerialNumber\": \"00000000000000\"\n"
                                  "    },\n"
                                  "    \"Status\": \"7\"\n"
                                  "}\n"},
                      MembersCase{"an empty log is an empty array",
                                  [](ReadingDocument& d) {
                                    d.PutPoints(device::PointLog{});
                                    d.PutStatus(service::StatusOk);
                                  },
                                  "{\n"
                                  "    \"RadiationPoints\":\n"
                                  "    [\n"
                                  "    ],\n"
                                  "    \"Status\": \"0\"\n"
                                  "}\n"}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

struct PointCase {
  std::uint8_t id;
  std::uint32_t time;
  std::uint16_t radiation_word;
  std::uint8_t period_code;
  const char* texts[4];  // id, time, radiation, period
};

class PointValues : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointValues, WrittenAsDecimalTexts) {
  const PointCase& c = GetParam();
  std::string text;
  ReadingDocument document(text);
  document.PutDeviceInfo(GoldenLink());
  document.PutPoints(LogOf({sim::MakeEntry(c.id, c.time, c.radiation_word, c.period_code)}));
  document.PutStatus(service::StatusOk);
  EXPECT_EQ(text, golden::OnePointReadout(c.texts[0], c.texts[1], c.texts[2], c.texts[3]));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PointValues,
    ::testing::Values(
        PointCase{0xFF, 4294967295u, 0xF005, 0, {"-1", "4294967295", "5", "1"}},
        PointCase{0x7F, 0, 0x8000, 9, {"127", "0", "0", "1440"}},
        PointCase{0x80, 1, 0x8052, 10, {"-128", "1", "8.199999999999999", "-1"}},
        PointCase{0, 1000000000, 0x0007, 255, {"0", "1000000000", "0.07000000000000001", "-1"}},
        PointCase{180, 1396440000, 0xF3FF, 3, {"-76", "1396440000", "1023", "30"}}));

TEST(ReadingDocument, WritesBehindWhatTheStringHolds) {
  std::string text = "callback(";
  ReadingDocument document(text);
  document.PutStatus(service::StatusOk);
  EXPECT_EQ(text, "callback(" + golden::StatusOnly("0"));
}

TEST(ReadingDocument, FullLogOfLongestTextsFitsMaxBytes) {
  device::PointLog log;
  for (int i = 0; i < 180; ++i) log.append(sim::MakeEntry(0x80, 4294967295u, 0x0007, 9));
  std::string text;
  ReadingDocument document(text);
  document.PutDeviceInfo(GoldenLink());
  document.PutPoints(log);
  document.PutStatus(service::StatusBadIndex);
  // 180 points of 156 bytes ("-128", 4294967295, 0.07000000000000001, 1440,
  // counted line by line in the golden layout), their 179 separators, and
  // 156 bytes around them.
  EXPECT_EQ(text.size(), 180u * 156 + 179 * 2 + 156);
  EXPECT_LE(text.size(), ReadingDocument::MaxBytes(180));
}

struct OrderCase {
  const char* label;
  std::function<void(ReadingDocument&)> before;
  std::function<void(ReadingDocument&)> refused;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
  *os << c.label;
}

class MemberOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(MemberOrder, RefusedAndNothingWritten) {
  std::string text;
  ReadingDocument document(text);
  GetParam().before(document);
  const std::string before = text;
  EXPECT_THROW(GetParam().refused(document), std::logic_error);
  EXPECT_EQ(text, before);
}

void Info(ReadingDocument& d) {
  d.PutDeviceInfo(GoldenLink());
}
void Points(ReadingDocument& d) {
  d.PutPoints(LogOf({sim::MakeEntry(1, 1, 1, 1)}));
}
void Status(ReadingDocument& d) {
  d.PutStatus(service::StatusOk);
}

INSTANTIATE_TEST_SUITE_P(Table, MemberOrder,
                         ::testing::Values(OrderCase{"info twice", Info, Info},
                                           OrderCase{"info after points", Points, Info},
                                           OrderCase{"points twice", Points, Points},
                                           OrderCase{"points after status", Status, Points},
                                           OrderCase{"status twice", Status, Status},
                                           OrderCase{"info after status",
                                                     [](ReadingDocument& d) {
                                                       Info(d);
                                                       Status(d);
                                                     },
                                                     Info}),
                         [](const auto& info) { return "row" + std::to_string(info.index); });

}  // namespace
