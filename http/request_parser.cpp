#include "http/request_parser.h"

namespace http::server {
namespace {

constexpr unsigned char CR = 13, LF = 10, SP = 32, HT = 9;

bool is_char(unsigned char c) {
  return c <= 127;
}
bool is_ctl(unsigned char c) {
  return c <= 31 || c == 127;
}
bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool is_tspecial(unsigned char c) {
  switch (c) {
    case '(':
    case ')':
    case '<':
    case '>':
    case '@':
    case ',':
    case ';':
    case ':':
    case '\\':
    case '"':
    case '/':
    case '[':
    case ']':
    case '?':
    case '=':
    case '{':
    case '}':
    case SP:
    case HT:
      return true;
    default:
      return false;
  }
}

bool is_token(unsigned char c) {
  return is_char(c) && !is_ctl(c) && !is_tspecial(c);
}

// The version numbers are never read; wrapping keeps an absurd digit run defined.
int add_digit(int number, unsigned char c) {
  return static_cast<int>(static_cast<unsigned>(number) * 10u + static_cast<unsigned>(c - '0'));
}

}  // namespace

boost::tribool request_parser::consume_char(request& req, unsigned char c) {
  const boost::tribool more = boost::indeterminate;
  switch (state_) {
    case method_first:
      if (!is_token(c)) return false;
      req.method.push_back(static_cast<char>(c));
      state_ = method_rest;
      return more;
    case method_rest:
      if (c == SP) {
        state_ = uri_chars;
        return more;
      }
      if (!is_token(c)) return false;
      req.method.push_back(static_cast<char>(c));
      return more;
    case uri_chars:
      if (c == SP) {
        state_ = version_h;
        return more;
      }
      if (is_ctl(c)) return false;
      req.uri.push_back(static_cast<char>(c));
      return more;
    case version_h:
      return c == 'H' ? (state_ = version_t1, more) : false;
    case version_t1:
      return c == 'T' ? (state_ = version_t2, more) : false;
    case version_t2:
      return c == 'T' ? (state_ = version_p, more) : false;
    case version_p:
      return c == 'P' ? (state_ = version_slash, more) : false;
    case version_slash:
      if (c != '/') return false;
      req.version_major = 0;
      req.version_minor = 0;
      state_ = major_first;
      return more;
    case major_first:
      if (!is_digit(c)) return false;
      req.version_major = add_digit(req.version_major, c);
      state_ = major_rest;
      return more;
    case major_rest:
      if (c == '.') {
        state_ = minor_first;
        return more;
      }
      if (!is_digit(c)) return false;
      req.version_major = add_digit(req.version_major, c);
      return more;
    case minor_first:
      if (!is_digit(c)) return false;
      req.version_minor = add_digit(req.version_minor, c);
      state_ = minor_rest;
      return more;
    case minor_rest:
      if (c == CR) {
        state_ = request_line_lf;
        return more;
      }
      if (!is_digit(c)) return false;
      req.version_minor = add_digit(req.version_minor, c);
      return more;
    case request_line_lf:
      return c == LF ? (state_ = line_start, more) : false;
    case line_start:
      if (c == CR) {
        state_ = final_lf;
        return more;
      }
      if (!req.headers.empty() && (c == SP || c == HT)) {
        state_ = continuation_blank;
        return more;
      }
      if (!is_token(c)) return false;
      req.headers.push_back(header{});
      req.headers.back().name.push_back(static_cast<char>(c));
      state_ = name_chars;
      return more;
    case continuation_blank:
      if (c == CR) {
        state_ = header_line_lf;
        return more;
      }
      if (c == SP || c == HT) return more;
      if (is_ctl(c)) return false;
      req.headers.back().value.push_back(static_cast<char>(c));
      state_ = value_chars;
      return more;
    case name_chars:
      if (c == ':') {
        state_ = value_space;
        return more;
      }
      if (!is_token(c)) return false;
      req.headers.back().name.push_back(static_cast<char>(c));
      return more;
    case value_space:
      return c == SP ? (state_ = value_chars, more) : false;
    case value_chars:
      if (c == CR) {
        state_ = header_line_lf;
        return more;
      }
      if (is_ctl(c)) return false;
      req.headers.back().value.push_back(static_cast<char>(c));
      return more;
    case header_line_lf:
      return c == LF ? (state_ = line_start, more) : false;
    case final_lf:
      return c == LF ? boost::tribool(true) : boost::tribool(false);
  }
  return false;
}

}  // namespace http::server
