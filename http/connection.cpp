#include "http/connection.h"

#include <boost/asio/error.hpp>
#include <boost/asio/write.hpp>

#include "http/connection_manager.h"
#include "http/request_handler.h"

namespace http::server {

connection::connection(boost::asio::io_context& event_loop, connection_manager& manager,
                       request_handler& handler)
    : socket_(event_loop), manager_(manager), handler_(handler) {}

void connection::start() {
  read_some();
}

void connection::stop() {
  socket_.close();
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
  // Bytes after the head (a body, a second request) are dropped: one request per connection.
  const auto [result, unused] =
      parser_.parse(request_, read_buffer_.data(), read_buffer_.data() + bytes);
  (void)unused;
  if (result) {
    handler_.serve_request(request_, reply_);
    write_reply();
  } else if (!result) {
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
