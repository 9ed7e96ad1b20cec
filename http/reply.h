// A reply: status, headers and body, sent with one gathered write.
#pragma once

#include <boost/asio/buffer.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "http/header.h"

namespace http::server {

struct reply {
  enum status_type : int {
    ok = 200,
    created = 201,
    accepted = 202,
    no_content = 204,
    multiple_choices = 300,
    moved_permanently = 301,
    moved_temporarily = 302,
    not_modified = 304,
    bad_request = 400,
    unauthorized = 401,
    forbidden = 403,
    not_found = 404,
    internal_server_error = 500,
    not_implemented = 501,
    bad_gateway = 502,
    service_unavailable = 503
  } status = ok;

  std::vector<header> headers;
  std::string content;

  // Status line, each header as name ": " value "\r\n", the empty line and the
  // body: 4 buffers a header plus 3. They point into this reply and static
  // texts, so the reply must stay unchanged until the write completes.
  std::vector<boost::asio::const_buffer> output_buffers() const;
};

// "HTTP/1.0 <code> <reason>\r\n"; the 500 line for any value not listed.
std::string_view status_line(reply::status_type status);

// The one answer to malformed input: 400 with a small HTML body.
reply bad_request_reply();

}  // namespace http::server
