#include "http/request_parser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace http::server {

// Found by argument-dependent lookup when header lists are compared.
bool operator==(const header& a, const header& b) {
  return a.name == b.name && a.value == b.value;
}

namespace {

enum class Result { kTrue, kFalse, kMore };

Result ToResult(boost::tribool value) {
  if (value) return Result::kTrue;
  if (!value) return Result::kFalse;
  return Result::kMore;
}

void ExpectSameRequest(const request& actual, const request& expected, const std::string& label) {
  EXPECT_EQ(actual.method, expected.method) << label;
  EXPECT_EQ(actual.uri, expected.uri) << label;
  EXPECT_EQ(actual.version_major, expected.version_major) << label;
  EXPECT_EQ(actual.version_minor, expected.version_minor) << label;
  EXPECT_TRUE(actual.headers == expected.headers) << label;
}

struct ParseCase {
  std::string label;
  std::string bytes;
  Result result;
  std::size_t stop;                 // just past the deciding byte; size() when more is needed
  std::optional<request> expected;  // checked when the head is complete
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << c.label;
}

request Req(std::string method, std::string uri, int major, int minor,
            std::vector<header> headers = {}) {
  return request{std::move(method), std::move(uri), major, minor, std::move(headers)};
}

const std::string kLine = "GET / HTTP/1.0\r\n";
std::string Head(const std::string& header_lines) {
  return kLine + header_lines + "\r\n";
}

const std::string kBrowserHead =
    "GET /GetDeviceInfo?callback=f HTTP/1.1\r\nHost: localhost:5000\r\n\r\n";
const request kBrowserRequest =
    Req("GET", "/GetDeviceInfo?callback=f", 1, 1, {{"Host", "localhost:5000"}});

std::vector<ParseCase> Cases() {
  const std::string bad_line = Head("X: a\tb\r\n");
  return {
      {"typical head", kBrowserHead, Result::kTrue, kBrowserHead.size(), kBrowserRequest},
      {"bytes after the head are not examined", kBrowserHead + "\x01rest", Result::kTrue,
       kBrowserHead.size(), kBrowserRequest},
      {"any token method", "M-SEARCH * HTTP/1.1\r\n\r\n", Result::kTrue, 23,
       Req("M-SEARCH", "*", 1, 1)},
      {"empty uri", "GET  HTTP/1.0\r\n\r\n", Result::kTrue, 17, Req("GET", "", 1, 0)},
      {"uri after two spaces", "GET  /x HTTP/1.0\r\n\r\n", Result::kFalse, 6, std::nullopt},
      {"leading zeros in version", "GET / HTTP/01.002\r\n\r\n", Result::kTrue, 21,
       Req("GET", "/", 1, 2)},
      {"request line ends in LF alone", "GET / HTTP/1.0\n", Result::kFalse, 15, std::nullopt},
      {"lower-case http", "GET / http/1.0\r\n\r\n", Result::kFalse, 7, std::nullopt},
      {"no digit after dot", "GET / HTTP/1.\r\n", Result::kFalse, 14, std::nullopt},
      {"no digit before dot", "GET / HTTP/.1\r\n", Result::kFalse, 12, std::nullopt},
      {"tspecial in method", "GE(T / HTTP/1.0\r\n\r\n", Result::kFalse, 3, std::nullopt},
      {"high byte in method", "G\xc3T / HTTP/1.0\r\n\r\n", Result::kFalse, 2, std::nullopt},
      {"NUL in method", std::string("G\0T / HTTP/1.0\r\n\r\n", 19), Result::kFalse, 2,
       std::nullopt},
      {"high byte in uri is stored", "GET /\xc3\xa9 HTTP/1.0\r\n\r\n", Result::kTrue, 20,
       Req("GET", "/\xc3\xa9", 1, 0)},
      {"DEL in uri", "GET /\x7f HTTP/1.0\r\n\r\n", Result::kFalse, 6, std::nullopt},
      {"NUL in uri", std::string("GET /\0 HTTP/1.0\r\n\r\n", 20), Result::kFalse, 6, std::nullopt},
      {"header with one space", Head("X: a b\r\n"), Result::kTrue, Head("X: a b\r\n").size(),
       Req("GET", "/", 1, 0, {{"X", "a b"}})},
      {"no space after colon", Head("X:a\r\n"), Result::kFalse, kLine.size() + 3, std::nullopt},
      {"no space, empty value", Head("X:\r\n"), Result::kFalse, kLine.size() + 3, std::nullopt},
      {"two spaces after colon", Head("X:  a\r\n"), Result::kTrue, Head("X:  a\r\n").size(),
       Req("GET", "/", 1, 0, {{"X", " a"}})},
      {"empty value", Head("X: \r\n"), Result::kTrue, Head("X: \r\n").size(),
       Req("GET", "/", 1, 0, {{"X", ""}})},
      {"HT in value", bad_line, Result::kFalse, kLine.size() + 5, std::nullopt},
      {"DEL in value", Head("X: a\x7f\r\n"), Result::kFalse, kLine.size() + 5, std::nullopt},
      {"NUL in value", Head(std::string("X: \0\r\n", 6)), Result::kFalse, kLine.size() + 4,
       std::nullopt},
      {"high byte in value is stored", Head("X: \xff\r\n"), Result::kTrue,
       Head("X: \xff\r\n").size(), Req("GET", "/", 1, 0, {{"X", "\xff"}})},
      {"high byte in name", Head("\xffX: a\r\n"), Result::kFalse, kLine.size() + 1, std::nullopt},
      {"continuation appends directly", Head("X: a\r\n  b\r\n"), Result::kTrue,
       Head("X: a\r\n  b\r\n").size(), Req("GET", "/", 1, 0, {{"X", "ab"}})},
      {"continuation after tab", Head("X: a\r\n\t b c\r\n"), Result::kTrue,
       Head("X: a\r\n\t b c\r\n").size(), Req("GET", "/", 1, 0, {{"X", "ab c"}})},
      {"blank continuation adds nothing", Head("X: a\r\n \t \r\n"), Result::kTrue,
       Head("X: a\r\n \t \r\n").size(), Req("GET", "/", 1, 0, {{"X", "a"}})},
      {"continuation before any header", Head(" b\r\n"), Result::kFalse, kLine.size() + 1,
       std::nullopt},
      {"empty header name", Head(": a\r\n"), Result::kFalse, kLine.size() + 1, std::nullopt},
      {"names keep case, duplicates kept", Head("host: a\r\nHOST: b\r\nhost: c\r\n"), Result::kTrue,
       Head("host: a\r\nHOST: b\r\nhost: c\r\n").size(),
       Req("GET", "/", 1, 0, {{"host", "a"}, {"HOST", "b"}, {"host", "c"}})},
      {"header line ends in LF alone", Head("X: a\n"), Result::kFalse, kLine.size() + 5,
       std::nullopt},
      {"final CR without LF", kLine + "\rX", Result::kFalse, kLine.size() + 2, std::nullopt},
      {"incomplete head", kLine + "Host: x\r\n", Result::kMore, kLine.size() + 9, std::nullopt},
      {"empty input", "", Result::kMore, 0, std::nullopt},
  };
}

class ParserTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParserTable, FedWhole) {
  const ParseCase& c = GetParam();
  request req;
  request_parser parser;
  const auto [result, stop] = parser.parse(req, c.bytes.begin(), c.bytes.end());
  EXPECT_EQ(ToResult(result), c.result);
  EXPECT_EQ(static_cast<std::size_t>(stop - c.bytes.begin()), c.stop);
  if (c.expected) ExpectSameRequest(req, *c.expected, c.label);
}

TEST_P(ParserTable, FedByteByByte) {
  const ParseCase& c = GetParam();
  request req;
  request_parser parser;
  Result result = Result::kMore;
  std::size_t fed = 0;
  while (fed < c.bytes.size() && result == Result::kMore) {
    const char* byte = c.bytes.data() + fed++;
    const auto [r, stop] = parser.parse(req, byte, byte + 1);
    result = ToResult(r);
    EXPECT_EQ(stop, byte + 1);
  }
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(fed, c.stop);
  if (c.expected) ExpectSameRequest(req, *c.expected, c.label);
}

INSTANTIATE_TEST_SUITE_P(Table, ParserTable, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(RequestParser, EverySplitPointGivesTheSameRequest) {
  const std::string head =
      "POST /Erase?cb=f HTTP/1.1\r\nHost: localhost:5000\r\nX: a\r\n  b\r\n\r\n";
  for (std::size_t split = 0; split <= head.size(); ++split) {
    request req;
    request_parser parser;
    const auto [first, first_stop] = parser.parse(req, head.data(), head.data() + split);
    if (split < head.size()) {
      ASSERT_EQ(ToResult(first), Result::kMore) << split;
      EXPECT_EQ(first_stop, head.data() + split);
      const auto [second, second_stop] =
          parser.parse(req, head.data() + split, head.data() + head.size());
      ASSERT_EQ(ToResult(second), Result::kTrue) << split;
      EXPECT_EQ(second_stop, head.data() + head.size());
    } else {
      ASSERT_EQ(ToResult(first), Result::kTrue);
    }
    ExpectSameRequest(req,
                      Req("POST", "/Erase?cb=f", 1, 1, {{"Host", "localhost:5000"}, {"X", "ab"}}),
                      "split " + std::to_string(split));
  }
}

TEST(RequestParser, OverlongVersionDigitsAreAccepted) {
  const std::string head = "GET / HTTP/99999999999999999999.99999999999999999999\r\n\r\n";
  request req;
  request_parser parser;
  EXPECT_EQ(ToResult(std::get<0>(parser.parse(req, head.begin(), head.end()))), Result::kTrue);
}

}  // namespace
}  // namespace http::server
