#include "http/request_handler.h"

#include <gtest/gtest.h>

#include <string>

#include "device/device_state.h"
#include "sim/sim.h"
#include "tests/device/device_state_reset.h"
#include "tests/golden/documents.h"
#include "tests/http/stock_reply.h"

namespace http::server {
namespace {

struct EscapeCase {
  const char* text;
  bool passes;
};

class PercentEscapes : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(PercentEscapes, Check) {
  EXPECT_EQ(check_percent_escapes(GetParam().text), GetParam().passes) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, PercentEscapes,
                         ::testing::Values(EscapeCase{"", true}, EscapeCase{"/plain+text", true},
                                           EscapeCase{"/x?cb=a%20b", true},
                                           EscapeCase{"%0x", false}, EscapeCase{"%0X", false},
                                           EscapeCase{"%+g", false}, EscapeCase{"%g4", false},
                                           EscapeCase{"%zz", false}, EscapeCase{"%0g", true},
                                           EscapeCase{"%4g", true}, EscapeCase{"%-1", true},
                                           EscapeCase{"%+a", true}, EscapeCase{"/x?cb=%4%", true},
                                           EscapeCase{"/x?cb=a%2", false}, EscapeCase{"%", false},
                                           EscapeCase{"ab%", false}, EscapeCase{"%41%", false},
                                           EscapeCase{"%00x", true}, EscapeCase{"%-", false},
                                           EscapeCase{"%%41", false}));

class RequestHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_test::ResetDeviceState();
    sim::Reset();
  }
  reply Serve(const std::string& uri) {
    request req;
    req.method = "GET";
    req.uri = uri;
    reply rep;
    handler_.serve_request(req, rep);
    return rep;
  }
  request_handler handler_;
};

TEST_F(RequestHandlerTest, OkWithJsonpAndTwoHeadersInOrder) {
  const reply rep = Serve("/GetDeviceInfo?callback=f");
  EXPECT_EQ(rep.status, reply::ok);
  EXPECT_EQ(rep.content, "f(" + golden::InfoAndStatus("0123456789abcd", "0") + ");");
  ASSERT_EQ(rep.headers.size(), 2u);
  EXPECT_EQ(rep.headers[0].name, "Content-Length");
  EXPECT_EQ(rep.headers[0].value, "123");
  EXPECT_EQ(rep.headers[1].name, "Content-Type");
  EXPECT_EQ(rep.headers[1].value, "text/javascript");
}

TEST_F(RequestHandlerTest, LargeContentLengthIsPlainDigits) {
  sim::FillRealisticLog(sim::kEntries);
  const reply rep = Serve("/?cb=f");
  ASSERT_GT(rep.content.size(), 9999u);
  const std::string& length = rep.headers[0].value;
  EXPECT_EQ(length.find_first_not_of("0123456789"), std::string::npos) << length;
  EXPECT_EQ(std::stoul(length), rep.content.size());
}

TEST_F(RequestHandlerTest, BadEscapeGivesStockReplyWithoutTouchingDevice) {
  for (const char* uri : {"/GetDeviceInfo?callback=%zz", "/x?cb=a%2", "/Erase?cb=%0x"}) {
    const reply rep = Serve(uri);
    EXPECT_EQ(rep.status, reply::bad_request) << uri;
    EXPECT_EQ(rep.content, stock::kBadRequestBody);
    ASSERT_EQ(rep.headers.size(), 2u);
    EXPECT_EQ(rep.headers[0].value, "89");
  }
  EXPECT_EQ(sim::OpenCalls(), 0);
}

TEST_F(RequestHandlerTest, EscapesAreValidatedNotDecoded) {
  sim::SetPresent(false);
  const reply rep = Serve("/x?cb=a%20b");
  EXPECT_EQ(rep.status, reply::ok);
  EXPECT_EQ(rep.content.rfind("a%20b(", 0), 0u);
}

TEST_F(RequestHandlerTest, NoDeviceIsStill200) {
  sim::SetPresent(false);
  const reply rep = Serve("/?cb=f");
  EXPECT_EQ(rep.status, reply::ok);
  EXPECT_EQ(rep.content, "f({\n    \"Status\": \"6\"\n}\n);");
  EXPECT_EQ(rep.headers[0].value, "26");
}

TEST_F(RequestHandlerTest, EmptyUriTakesReadoutRoute) {
  sim::SetPresent(false);
  EXPECT_EQ(Serve("").content, "({\n    \"Status\": \"6\"\n}\n);");
}

}  // namespace
}  // namespace http::server
