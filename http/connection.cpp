#include "http/connection.h"

#include <algorithm>
#include <boost/asio/error.hpp>
#include <boost/asio/write.hpp>

#include "http/connection_manager.h"
#include "http/limits.h"
#include "http/request_handler.h"

namespace http::server {

connection::connection(boost::asio::io_context& event_loop, connection_manager& manager,
                       request_handler& handler)
    : socket_(event_loop), manager_(manager), handler_(handler), head_timer_(event_loop) {}

void connection::start() {
  head_timer_.expires_after(limits::head_timeout);
  head_timer_.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
    self->on_head_timeout(error);
  });
  read_some();
}

void connection::stop() {
  head_timer_.cancel();
  socket_.close();
}

void connection::on_head_timeout(const boost::system::error_code& error) {
  if (error == boost::asio::error::operation_aborted || !waiting_for_head_) return;
  manager_.stop(shared_from_this());
}

void connection::head_done() {
  head_timer_.cancel();
  manager_.head_complete(shared_from_this());
}

void connection::read_some() {
  socket_.async_read_some(
      boost::asio::buffer(read_buffer_),
      [self = shared_from_this()](const boost::system::error_code& error, std::size_t bytes) {
        self->on_read(error, bytes);
      });
}

void connection::on_read(const boost::system::error_code& error, std::size_t bytes) {
  if (error) {
    if (error != boost::asio::error::operation_aborted) manager_.stop(shared_from_this());
    return;
  }
  // The parser never sees more than the head limit. Bytes after the head (a
  // body, a second request) are dropped: one request per connection.
  const std::size_t fed = std::min(bytes, limits::max_head_size - head_bytes_);
  const char* begin = read_buffer_.data();
  const auto [result, stop] = parser_.parse(request_, begin, begin + fed);
  head_bytes_ += static_cast<std::size_t>(stop - begin);
  if (result) {
    head_done();
    handler_.serve_request(request_, reply_);
    write_reply();
  } else if (!result || fed < bytes) {
    head_done();
    reply_ = bad_request_reply();
    write_reply();
  } else {
    read_some();
  }
}

void connection::write_reply() {
  boost::asio::async_write(socket_, reply_.output_buffers(),
                           [self = shared_from_this()](const boost::system::error_code& error,
                                                       std::size_t) { self->on_write(error); });
}

void connection::on_write(const boost::system::error_code& error) {
  if (!error) {
    boost::system::error_code ignored;
    socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
  }
  if (error != boost::asio::error::operation_aborted) manager_.stop(shared_from_this());
}

}  // namespace http::server
