#include "http/reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/http/stock_reply.h"

namespace http::server {
namespace {

std::string Join(const std::vector<boost::asio::const_buffer>& buffers) {
  std::string bytes;
  for (const auto& b : buffers) bytes.append(static_cast<const char*>(b.data()), b.size());
  return bytes;
}

TEST(Reply, StockReplyIsExactly162Bytes) {
  const std::string bytes = Join(bad_request_reply().output_buffers());
  EXPECT_EQ(bytes, stock::kBadRequestReply);
  EXPECT_EQ(bytes.size(), 162u);
}

TEST(Reply, HeadersInTheGivenOrderUnmerged) {
  reply r;
  EXPECT_EQ(Join(r.output_buffers()), "HTTP/1.0 200 OK\r\n\r\n");
  r.headers = {{"B", "2"}, {"A", ""}, {"B", "1"}};
  r.content = "body";
  // An empty value still gets its separator.
  EXPECT_EQ(Join(r.output_buffers()), "HTTP/1.0 200 OK\r\nB: 2\r\nA: \r\nB: 1\r\n\r\nbody");
}

TEST(Reply, BuffersPointIntoTheReplyWithoutCopying) {
  reply r;
  r.headers = {{"Name", "Value"}};
  r.content = std::string(10000, 'x');
  const auto buffers = r.output_buffers();
  EXPECT_EQ(buffers[1].data(), r.headers[0].name.data());
  EXPECT_EQ(buffers.back().data(), r.content.data());
}

struct StatusCase {
  int code;
  const char* line;
};

class StatusLines : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLines, LineForCode) {
  EXPECT_EQ(status_line(static_cast<reply::status_type>(GetParam().code)), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusLines,
    ::testing::Values(StatusCase{200, "HTTP/1.0 200 OK\r\n"},
                      StatusCase{201, "HTTP/1.0 201 Created\r\n"},
                      StatusCase{202, "HTTP/1.0 202 Accepted\r\n"},
                      StatusCase{204, "HTTP/1.0 204 No Content\r\n"},
                      StatusCase{300, "HTTP/1.0 300 Multiple Choices\r\n"},
                      StatusCase{301, "HTTP/1.0 301 Moved Permanently\r\n"},
                      StatusCase{302, "HTTP/1.0 302 Moved Temporarily\r\n"},
                      StatusCase{304, "HTTP/1.0 304 Not Modified\r\n"},
                      StatusCase{400, "HTTP/1.0 400 Bad Request\r\n"},
                      StatusCase{401, "HTTP/1.0 401 Unauthorized\r\n"},
                      StatusCase{403, "HTTP/1.0 403 Forbidden\r\n"},
                      StatusCase{404, "HTTP/1.0 404 Not Found\r\n"},
                      StatusCase{500, "HTTP/1.0 500 Internal Server Error\r\n"},
                      StatusCase{501, "HTTP/1.0 501 Not Implemented\r\n"},
                      StatusCase{502, "HTTP/1.0 502 Bad Gateway\r\n"},
                      StatusCase{503, "HTTP/1.0 503 Service Unavailable\r\n"},
                      StatusCase{418, "HTTP/1.0 500 Internal Server Error\r\n"},
                      StatusCase{100, "HTTP/1.0 500 Internal Server Error\r\n"},
                      StatusCase{999, "HTTP/1.0 500 Internal Server Error\r\n"}));

}  // namespace
}  // namespace http::server
