#include "http/reply.h"

namespace http::server {
namespace {

constexpr std::string_view kNameValueSeparator = ": ";
constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kBadRequestBody =
    "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";

boost::asio::const_buffer buffer_of(std::string_view text) {
  return boost::asio::buffer(text.data(), text.size());
}

}  // namespace

std::string_view status_line(reply::status_type status) {
  switch (status) {
    case reply::ok:
      return "HTTP/1.0 200 OK\r\n";
    case reply::created:
      return "HTTP/1.0 201 Created\r\n";
    case reply::accepted:
      return "HTTP/1.0 202 Accepted\r\n";
    case reply::no_content:
      return "HTTP/1.0 204 No Content\r\n";
    case reply::multiple_choices:
      return "HTTP/1.0 300 Multiple Choices\r\n";
    case reply::moved_permanently:
      return "HTTP/1.0 301 Moved Permanently\r\n";
    case reply::moved_temporarily:
      return "HTTP/1.0 302 Moved Temporarily\r\n";
    case reply::not_modified:
      return "HTTP/1.0 304 Not Modified\r\n";
    case reply::bad_request:
      return "HTTP/1.0 400 Bad Request\r\n";
    case reply::unauthorized:
      return "HTTP/1.0 401 Unauthorized\r\n";
    case reply::forbidden:
      return "HTTP/1.0 403 Forbidden\r\n";
    case reply::not_found:
      return "HTTP/1.0 404 Not Found\r\n";
    case reply::not_implemented:
      return "HTTP/1.0 501 Not Implemented\r\n";
    case reply::bad_gateway:
      return "HTTP/1.0 502 Bad Gateway\r\n";
    case reply::service_unavailable:
      return "HTTP/1.0 503 Service Unavailable\r\n";
    case reply::internal_server_error:
    default:
      return "HTTP/1.0 500 Internal Server Error\r\n";
  }
}

std::vector<boost::asio::const_buffer> reply::output_buffers() const {
  std::vector<boost::asio::const_buffer> buffers;
  buffers.reserve(4 * headers.size() + 3);
  buffers.push_back(buffer_of(status_line(status)));
  for (const header& h : headers) {
    buffers.push_back(boost::asio::buffer(h.name));
    buffers.push_back(buffer_of(kNameValueSeparator));
    buffers.push_back(boost::asio::buffer(h.value));
    buffers.push_back(buffer_of(kCrlf));
  }
  buffers.push_back(buffer_of(kCrlf));
  buffers.push_back(boost::asio::buffer(content));
  return buffers;
}

reply bad_request_reply() {
  reply stock;
  stock.status = reply::bad_request;
  stock.content = kBadRequestBody;
  stock.headers = {{"Content-Length", std::to_string(stock.content.size())},
                   {"Content-Type", "text/html"}};
  return stock;
}

}  // namespace http::server
