// Listens on one address, accepts connections and serves them on the calling
// thread until SIGINT or SIGTERM.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <string>

#include "http/connection.h"
#include "http/connection_manager.h"
#include "http/request_handler.h"

namespace http::server {

class server {
 public:
  // Resolves, opens, binds and listens; throws boost::system::system_error
  // whose text starts with the failing step ("add", "resolve", "open",
  // "set_option", "bind", "listen").
  server(const std::string& address, const std::string& port);
  server(const server&) = delete;
  server& operator=(const server&) = delete;

  // Runs the event loop until the stop signal has been handled.
  void run();

 private:
  void accept_next();
  void on_accept(const boost::system::error_code& error);
  void retry_accept_later();
  void resume_accepting();
  void on_stop_signal();

  boost::asio::io_context event_loop_;
  boost::asio::signal_set signals_;
  boost::asio::ip::tcp::acceptor acceptor_;
  // Paces accepts while the process is out of descriptors or memory.
  boost::asio::steady_timer accept_retry_timer_;
  connection_manager manager_;
  connection_ptr new_connection_;
  request_handler handler_;
  // At the connection cap with nobody waiting for a head: no accept is pending.
  bool accepting_paused_ = false;
};

}  // namespace http::server
