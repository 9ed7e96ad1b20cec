// An incremental parser of HTTP/1 request heads: one byte at a time, so a head
// split over any number of reads parses exactly as if it had come at once.
#pragma once

#include <boost/logic/tribool.hpp>
#include <tuple>

#include "http/request.h"

namespace http::server {

class request_parser {
 public:
  // Feeds [begin, end) until the head is complete (true) or malformed (false);
  // indeterminate when every byte was taken and more are needed. The position
  // returned is just past the last byte examined.
  template <typename InputIterator>
  std::tuple<boost::tribool, InputIterator> parse(request& req, InputIterator begin,
                                                  InputIterator end) {
    while (begin != end) {
      const boost::tribool result = consume_char(req, static_cast<unsigned char>(*begin++));
      if (result || !result) return std::make_tuple(result, begin);
    }
    return std::make_tuple(boost::tribool(boost::indeterminate), begin);
  }

  // One step of the state machine.
  boost::tribool consume_char(request& req, unsigned char c);

 private:
  enum state {
    method_first,
    method_rest,
    uri_chars,
    version_h,
    version_t1,
    version_t2,
    version_p,
    version_slash,
    major_first,
    major_rest,
    minor_first,
    minor_rest,
    request_line_lf,
    line_start,
    continuation_blank,
    name_chars,
    value_space,
    value_chars,
    header_line_lf,
    final_lf
  } state_ = method_first;
};

}  // namespace http::server
