#include "http/connection.h"

#include <algorithm>
#include <boost/asio/error.hpp>
#include <boost/asio/write.hpp>

#include "http/connection_manager.h"
#include "http/request_handler.h"
#include "http/socket_step_error.h"

namespace http::server {

connection::connection(boost::asio::io_context& event_loop, connection_manager& manager,
                       request_handler& handler, const connection_limits& limits)
    : socket_(event_loop),
      manager_(manager),
      handler_(handler),
      limits_(limits),
      deadline_(event_loop) {}

void connection::start() {
  deadline_.expires_after(limits_.head_timeout);
  deadline_.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
    self->on_head_timeout(error);
  });
  read_some();
}

void connection::stop() {
  stopped_ = true;
  deadline_.cancel();
  boost::system::error_code error;
  socket_.close(error);
  throw_on_step_error(error, "close");
}

void connection::on_head_timeout(const boost::system::error_code& error) {
  if (stopped_ || error == boost::asio::error::operation_aborted || !waiting_for_head_) return;
  manager_.stop(shared_from_this());
}

void connection::head_done() {
  deadline_.cancel();
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
  if (stopped_) return;
  if (error) {
    manager_.stop(shared_from_this());
    return;
  }
  // The parser never sees more than the head limit. Bytes after the head (a
  // body, a second request) are dropped: one request per connection.
  const std::size_t fed = std::min(bytes, limits_.max_head_size - head_bytes_);
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
  if (stopped_) return;
  if (error) {
    manager_.stop(shared_from_this());
    return;
  }
  reply_ = reply{};  // sent; lingering needs none of it
  linger();
}

// Closing a socket that still holds unread bytes sends a reset, and a reset
// makes the client drop whatever of the reply it has not read yet. So the
// sending side is shut down (the client reads end of stream right behind the
// reply) and what the client still sends is read and dropped until its end of
// stream, or until the linger timeout.
void connection::linger() {
  boost::system::error_code ignored;
  socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
  deadline_.expires_after(limits_.linger_timeout);
  deadline_.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
    self->on_linger_timeout(error);
  });
  discard_some();
}

void connection::discard_some() {
  socket_.async_read_some(boost::asio::buffer(read_buffer_),
                          [self = shared_from_this()](const boost::system::error_code& error,
                                                      std::size_t) { self->on_discard(error); });
}

void connection::on_discard(const boost::system::error_code& error) {
  if (stopped_) return;
  if (error) {  // end of stream, or the client reset: nothing left to protect
    manager_.stop(shared_from_this());
    return;
  }
  discard_some();
}

void connection::on_linger_timeout(const boost::system::error_code& error) {
  if (stopped_ || error == boost::asio::error::operation_aborted) return;
  manager_.stop(shared_from_this());
}

}  // namespace http::server
