// One HTTP exchange on one accepted socket: read the head, reply once, linger, close.
#pragma once

#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <list>
#include <memory>

#include "http/reply.h"
#include "http/request.h"
#include "http/request_parser.h"
#include "http/server_options.h"

namespace http::server {

class connection_manager;
class request_handler;

class connection : public std::enable_shared_from_this<connection> {
 public:
  static constexpr std::size_t read_buffer_size = 8192;

  connection(boost::asio::io_context& event_loop, connection_manager& manager,
             request_handler& handler, const connection_limits& limits);
  connection(const connection&) = delete;
  connection& operator=(const connection&) = delete;

  boost::asio::ip::tcp::socket& socket() { return socket_; }

  // Starts the first read. Called once, by the manager.
  void start();
  // Closes the socket at once; completions still pending or queued only
  // release their reference. Throws socket_step_error on a failed close.
  void stop();

 private:
  friend class connection_manager;

  void read_some();
  void on_read(const boost::system::error_code& error, std::size_t bytes);
  void on_head_timeout(const boost::system::error_code& error);
  void head_done();
  void write_reply();
  void on_write(const boost::system::error_code& error);
  void linger();
  void discard_some();
  void on_discard(const boost::system::error_code& error);
  void on_linger_timeout(const boost::system::error_code& error);

  boost::asio::ip::tcp::socket socket_;
  connection_manager& manager_;
  request_handler& handler_;
  const connection_limits limits_;
  std::array<char, read_buffer_size> read_buffer_;
  request request_;
  request_parser parser_;
  reply reply_;
  std::size_t head_bytes_ = 0;
  // The head timeout while reading the head, then the linger timeout.
  boost::asio::steady_timer deadline_;
  // Kept by the manager: where this connection stands among those waiting for their head.
  std::list<std::shared_ptr<connection>>::iterator waiting_entry_;
  bool waiting_for_head_ = false;
  // Set by stop(). Asio may have queued a successful completion before the
  // stop; it must not act on it (a queued read would still serve, even an erase).
  bool stopped_ = false;
};

using connection_ptr = std::shared_ptr<connection>;

}  // namespace http::server
