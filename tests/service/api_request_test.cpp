#include "service/api_request.h"

#include <gtest/gtest.h>

#include <functional>

#include "device/device_state.h"
#include "sim/sim.h"
#include "tests/device/device_state_reset.h"
#include "tests/golden/documents.h"

namespace {

using namespace golden;
using service::CallbackName;
using service::ProcessApiRequest;
using service::RoutePath;

// The JSONP reply of a route, with callback "f".
std::string JsonpOf(const char* route) {
  return ProcessApiRequest(std::string(route) + "?callback=f");
}

std::string Jsonp(const std::string& document) {
  return "f(" + document + ");";
}

constexpr std::uint8_t kHeader = 1, kEntry = 2, kErase = 3;

void TwoPoints() {
  sim::SetEntry(0, sim::MakeEntry(1, 1396440000, 0x000C, 0));
  sim::SetEntry(1, sim::MakeEntry(2, 1396440060, 0x8052, 4));
}
void NoDevice() {
  sim::SetPresent(false);
}
void IdentifyRefused() {
  sim::SetIdentifyAnswer({0, 0x72, 0, 0x12, 0x12});
}
void HeaderSendFails() {
  sim::AddFault(sim::Transfer::kSend, kHeader, 0, -1);
}
void EntryFetchFails() {
  TwoPoints();
  sim::AddFault(sim::Transfer::kFetch, kEntry, 90, -1);
}
void EraseSendFails() {
  sim::AddFault(sim::Transfer::kSend, kErase, 0, -1);
}
void EmptyLog() {}

class ApiRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_test::ResetDeviceState();
    sim::Reset();
  }
  void TearDown() override {
    EXPECT_EQ(sim::OpenHandles(), 0);
    EXPECT_EQ(sim::StaleHandleCalls(), 0);
  }
};

struct DocumentCase {
  const char* label;
  const char* route;
  std::function<void()> script;
  std::string expected;
};

void PrintTo(const DocumentCase& c, std::ostream* os) {
  *os << c.label;
}

class DocumentTable : public ApiRequestTest, public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(DocumentTable, FirstRequestAfterStart) {
  GetParam().script();
  EXPECT_EQ(JsonpOf(GetParam().route), Jsonp(GetParam().expected)) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentTable,
    ::testing::Values(
        DocumentCase{"readout success", "/", TwoPoints, kTwoPointExample},
        DocumentCase{"readout no device", "/", NoDevice, StatusOnly("6")},
        DocumentCase{"readout identify fails", "/", IdentifyRefused, StatusOnly("5")},
        // The header never arrived, so the last known serial (none yet) is shown.
        DocumentCase{"readout header send fails", "/", HeaderSendFails,
                     InfoAndStatus("00000000000000", "7")},
        DocumentCase{"readout entry fetch fails", "/", EntryFetchFails,
                     InfoAndStatus("0123456789abcd", "5")},
        DocumentCase{"readout empty log", "/", EmptyLog, InfoAndStatus("0123456789abcd", "3")},
        DocumentCase{"info success", "/GetDeviceInfo", TwoPoints,
                     InfoAndStatus("0123456789abcd", "0")},
        DocumentCase{"info empty log", "/GetDeviceInfo", EmptyLog,
                     InfoAndStatus("0123456789abcd", "0")},
        DocumentCase{"info no device", "/GetDeviceInfo", NoDevice, StatusOnly("6")},
        DocumentCase{"info identify fails", "/GetDeviceInfo", IdentifyRefused, StatusOnly("5")},
        DocumentCase{"info header send fails", "/GetDeviceInfo", HeaderSendFails,
                     InfoAndStatus("00000000000000", "7")},
        DocumentCase{"info entry fetch fails", "/GetDeviceInfo", EntryFetchFails,
                     InfoAndStatus("0123456789abcd", "5")},
        DocumentCase{"erase success", "/Erase", TwoPoints, StatusOnly("0")},
        DocumentCase{"erase no device", "/Erase", NoDevice, StatusOnly("6")},
        DocumentCase{"erase identify fails", "/Erase", IdentifyRefused, StatusOnly("5")},
        DocumentCase{"erase send fails", "/Erase", EraseSendFails, StatusOnly("5")}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

TEST_F(ApiRequestTest, SerialShownIsTheOneThisReadDelivered) {
  for (const char* route : {"/", "/GetDeviceInfo"}) {
    device_test::ResetDeviceState();
    sim::Reset();
    TwoPoints();
    // The first request after start already shows the device's serial.
    EXPECT_NE(JsonpOf(route).find("0123456789abcd"), std::string::npos) << route;
    // A different dosimeter is plugged in: its serial shows at once.
    sim::SetSerial({0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32});
    const std::string swapped = JsonpOf(route);
    EXPECT_NE(swapped.find("fedcba98765432"), std::string::npos) << route << swapped;
    EXPECT_EQ(swapped.find("0123456789abcd"), std::string::npos) << route;
  }
}

TEST_F(ApiRequestTest, FailedHeaderShowsLastKnownSerial) {
  TwoPoints();
  JsonpOf("/");
  sim::SetSerial({0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32});
  sim::AddFault(sim::Transfer::kFetch, kHeader, 0, -1);
  EXPECT_EQ(JsonpOf("/GetDeviceInfo"), Jsonp(InfoAndStatus("0123456789abcd", "5")));
}

TEST_F(ApiRequestTest, EraseJsonpIsExactlyFourLines) {
  TwoPoints();
  EXPECT_EQ(ProcessApiRequest("/Erase?cb=f"), "f({\n    \"Status\": \"0\"\n}\n);");
  EXPECT_EQ(JsonpOf("/"), Jsonp(InfoAndStatus("0123456789abcd", "3")));  // the log is gone
}

TEST_F(ApiRequestTest, JsonpIsCallbackParenJsonParenSemicolon) {
  NoDevice();
  const std::string status6 = StatusOnly("6");
  const std::pair<const char*, std::string> cases[] = {
      {"/GetDeviceInfo?callback=f", "f(" + status6 + ");"},
      {"/?cb=", "(" + status6 + ");"},
      {"", "(" + status6 + ");"},
      {"/x=y?cb=f", "y?cb=f(" + status6 + ");"},
      {"/Erase", "/Erase(" + status6 + ");"},
  };
  for (const auto& [uri, expected] : cases) EXPECT_EQ(ProcessApiRequest(uri), expected) << uri;
}

struct UriCase {
  const char* uri;
  const char* callback;
  const char* route;
  const char* taken;  // which route runs: "readout", "info" or "erase"
};

class WorkedUris : public ApiRequestTest, public ::testing::WithParamInterface<UriCase> {};

// Tells the routes apart on a one-point log: the readout lists points, the
// information route shows the device alone, the erase shows the status alone.
std::string RouteTaken(const std::string& json) {
  if (json.find("RadiationPoints") != std::string::npos) return "readout";
  if (json.find("DeviceInfo") != std::string::npos) return "info";
  return "erase";
}

TEST_P(WorkedUris, CutsAndRoute) {
  const UriCase& c = GetParam();
  EXPECT_EQ(CallbackName(c.uri), c.callback);
  EXPECT_EQ(RoutePath(c.uri), c.route);
  sim::SetEntry(0, sim::MakeEntry(1, 1, 1, 1));
  const std::string jsonp = ProcessApiRequest(c.uri);
  EXPECT_EQ(jsonp.rfind(std::string(c.callback) + "(", 0), 0u) << jsonp;
  EXPECT_EQ(RouteTaken(jsonp), c.taken) << c.uri;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorkedUris,
    ::testing::Values(UriCase{"/GetDeviceInfo?callback=f", "f", "/GetDeviceInfo", "info"},
                      UriCase{"/Erase?cb=f", "f", "/Erase", "erase"},
                      UriCase{"/?a=b&callback=f", "b&callback=f", "/", "readout"},
                      UriCase{"/Erase", "/Erase", "/Erase", "erase"},
                      UriCase{"/GetDeviceInfo?f", "/GetDeviceInfo?f", "/GetDeviceInfo", "info"},
                      UriCase{"/x=y?cb=f", "y?cb=f", "/x=y", "readout"},
                      UriCase{"/?cb=", "", "/", "readout"},
                      UriCase{"/GetDeviceInfo?callback=a%20b", "a%20b", "/GetDeviceInfo", "info"},
                      UriCase{"/erase?cb=f", "f", "/erase", "readout"},
                      UriCase{"/Erase/?cb=f", "f", "/Erase/", "readout"},
                      UriCase{"/GetDeviceInfo/?cb=f", "f", "/GetDeviceInfo/", "readout"},
                      UriCase{"/%45rase?cb=f", "f", "/%45rase", "readout"},
                      UriCase{"", "", "", "readout"}));

}  // namespace
