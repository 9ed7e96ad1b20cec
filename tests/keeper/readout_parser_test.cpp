#include "keeper/readout_parser.h"

#include <gtest/gtest.h>

namespace keeper {
namespace {

// The service's readout of two points, byte for byte as it writes it.
constexpr char kTwoPoints[] = R"(k({
    "DeviceInfo":
    {
        "Model": "1212",
        "SerialNumber": "0123456789abcd"
    },
    "RadiationPoints":
    [
        {
            "id": "1",
            "time": "1396440000",
            "radiation": "0.12",
            "period": "60"
        },
        {
            "id": "-1",
            "time": "4294967295",
            "radiation": "1.000000000000001",
            "period": "-1"
        }
    ],
    "Status": "0"
}
);)";

TEST(ReadoutParserTest, ReadsEveryPointWithItsTextsUnchanged) {
  const auto readout = ParseReadout(kTwoPoints);
  ASSERT_TRUE(readout);
  EXPECT_EQ(readout->status, 0);
  EXPECT_EQ(readout->serial, "0123456789abcd");
  ASSERT_EQ(readout->readings.size(), 2u);
  const Reading& first = readout->readings[0];
  EXPECT_EQ(first.serial, "0123456789abcd");
  EXPECT_EQ(first.id, "1");
  EXPECT_EQ(first.time, 1396440000);
  EXPECT_EQ(first.radiation, "0.12");
  EXPECT_DOUBLE_EQ(first.radiation_value, 0.12);
  EXPECT_EQ(first.period, 60);
  const Reading& second = readout->readings[1];
  EXPECT_EQ(second.id, "-1");
  EXPECT_EQ(second.time, 4294967295LL);
  EXPECT_EQ(second.radiation, "1.000000000000001");
  EXPECT_EQ(second.period, -1);
}

struct StatusCase {
  const char* name;
  const char* body;
  int status;
  const char* serial;
};

// Documents without points: what the service sends when the device fails.
const StatusCase kStatusCases[] = {
    {"empty_log",
     "k({\n    \"DeviceInfo\":\n    {\n        \"Model\": \"1212\",\n"
     "        \"SerialNumber\": \"0123456789abcd\"\n    },\n    \"Status\": \"3\"\n}\n);",
     3, "0123456789abcd"},
    {"no_device", "k({\n    \"Status\": \"6\"\n}\n);", 6, ""},
    {"read_failed_after_identify",
     "k({\"DeviceInfo\":{\"Model\":\"1212\",\"SerialNumber\":\"ab\"},\"Status\":\"5\"});", 5, "ab"},
    {"trailing_line_feed", "k({\"Status\":\"6\"});\n", 6, ""},
};

class ReadoutStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(ReadoutStatusTest, GivesTheStatusAndNoReadings) {
  const auto readout = ParseReadout(GetParam().body);
  ASSERT_TRUE(readout);
  EXPECT_EQ(readout->status, GetParam().status);
  EXPECT_EQ(readout->serial, GetParam().serial);
  EXPECT_TRUE(readout->readings.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadoutStatusTest, testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A point that is fine, for building bodies around one bad part.
#define GOOD_POINT R"({"id":"1","time":"100","radiation":"0.1","period":"60"})"
#define INFO R"("DeviceInfo":{"Model":"1212","SerialNumber":"0123456789abcd"})"

struct MalformedCase {
  const char* name;
  const char* body;
};

// Each is a failed poll as a whole: no partial readout comes out of it.
const MalformedCase kMalformed[] = {
    {"empty", ""},
    {"html_error_page", "<html><body>502 Bad Gateway</body></html>"},
    {"other_callback", "f({\"Status\":\"0\"});"},
    {"no_closing_parenthesis", "k({\"Status\":\"6\"};"},
    {"no_semicolon", "k({\"Status\":\"6\"})"},
    {"not_json", "k(Status: 0);"},
    {"truncated_json", "k({\"DeviceInfo\":{\"Model\":\"1212\",);"},
    {"array_root", "k([1,2]);"},
    {"no_status", "k({" INFO ",\"RadiationPoints\":[" GOOD_POINT "]});"},
    {"status_as_number", "k({\"Status\":0});"},
    {"status_not_integer", "k({\"Status\":\"ok\"});"},
    {"status_negative", "k({\"Status\":\"-1\"});"},
    {"ok_without_device_info", "k({\"RadiationPoints\":[" GOOD_POINT "],\"Status\":\"0\"});"},
    {"ok_without_points", "k({" INFO ",\"Status\":\"0\"});"},
    {"points_not_a_list", "k({" INFO ",\"RadiationPoints\":{},\"Status\":\"0\"});"},
    {"serial_not_text",
     "k({\"DeviceInfo\":{\"SerialNumber\":12},\"RadiationPoints\":[],\"Status\":\"0\"});"},
    {"serial_empty",
     "k({\"DeviceInfo\":{\"SerialNumber\":\"\"},\"RadiationPoints\":[],\"Status\":\"0\"});"},
    {"device_info_not_object", "k({\"DeviceInfo\":\"x\",\"Status\":\"6\"});"},
    {"point_not_object", "k({" INFO ",\"RadiationPoints\":[" GOOD_POINT ",3],\"Status\":\"0\"});"},
    {"point_without_time",
     "k({" INFO ",\"RadiationPoints\":[" GOOD_POINT
     ",{\"id\":\"2\",\"radiation\":\"0.1\",\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"id_as_number",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":2,\"time\":\"100\",\"radiation\":\"0.1\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"time_not_a_number",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"soon\",\"radiation\":\"0.1\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"time_negative",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"-5\",\"radiation\":\"0.1\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"time_with_leading_zero",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"0100\",\"radiation\":\"0.1\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"radiation_not_a_number",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"100\",\"radiation\":\"high\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"radiation_infinite",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"100\",\"radiation\":\"inf\","
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"radiation_as_number",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"100\",\"radiation\":0.1,"
     "\"period\":\"60\"}],\"Status\":\"0\"});"},
    {"period_empty",
     "k({" INFO ",\"RadiationPoints\":[{\"id\":\"2\",\"time\":\"100\",\"radiation\":\"0.1\","
     "\"period\":\"\"}],\"Status\":\"0\"});"},
};

class ReadoutMalformedTest : public testing::TestWithParam<MalformedCase> {};

TEST_P(ReadoutMalformedTest, IsNotAReadout) {
  EXPECT_FALSE(ParseReadout(GetParam().body));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadoutMalformedTest, testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keeper
