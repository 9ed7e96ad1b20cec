// Listens on one address, accepts connections and serves them on the calling
// thread until SIGINT or SIGTERM.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>

#include "http/connection.h"
#include "http/connection_manager.h"
#include "http/request_handler.h"
#include "http/server_options.h"

namespace http::server {

class server {
 public:
  // Resolves, opens, binds and listens; throws socket_step_error, whose text
  // starts with the failing step ("add", "resolve", "open", "set_option",
  // "bind", "listen").
  explicit server(const server_options& options);
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

  const server_options options_;
  boost::asio::io_context event_loop_;
  boost::asio::signal_set signals_;
  boost::asio::ip::tcp::acceptor acceptor_;
  // Paces accepts while the process is out of descriptors or memory.
  boost::asio::steady_timer accept_retry_timer_;
  connection_manager manager_;
  connection_ptr new_connection_;
  request_handler handler_;
  // Over the connection cap with nobody to evict: no accept is pending.
  bool accepting_paused_ = false;
};

}  // namespace http::server
