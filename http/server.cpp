#include "http/server.h"

#include <boost/asio/error.hpp>
#include <csignal>

#include "http/listen_options.h"
#include "http/socket_step_error.h"

namespace http::server {
namespace {

// Errors that an immediate retry would only hit again.
bool is_resource_exhaustion(const boost::system::error_code& error) {
  return error == boost::asio::error::no_descriptors ||  // EMFILE
         error == boost::system::errc::too_many_files_open_in_system ||
         error == boost::asio::error::no_buffer_space || error == boost::asio::error::no_memory;
}

}  // namespace

server::server(const server_options& options)
    : options_(options),
      signals_(event_loop_),
      acceptor_(event_loop_),
      accept_retry_timer_(event_loop_) {
  boost::system::error_code error;
  signals_.add(SIGINT, error);
  throw_on_step_error(error, "add");
  signals_.add(SIGTERM, error);
  throw_on_step_error(error, "add");
  signals_.async_wait([this](const boost::system::error_code&, int) { on_stop_signal(); });

  boost::asio::ip::tcp::resolver resolver(event_loop_);
  const auto endpoints = resolver.resolve(
      options_.address, options_.port, boost::asio::ip::tcp::resolver::address_configured, error);
  throw_on_step_error(error, "resolve");
  const boost::asio::ip::tcp::endpoint endpoint = *endpoints.begin();

  acceptor_.open(endpoint.protocol(), error);
  throw_on_step_error(error, "open");
  acceptor_.set_option(boost::asio::socket_base::reuse_address(reuse_address_on_listen()), error);
  throw_on_step_error(error, "set_option");
  acceptor_.bind(endpoint, error);
  throw_on_step_error(error, "bind");
  acceptor_.listen(boost::asio::socket_base::max_listen_connections, error);
  throw_on_step_error(error, "listen");

  manager_.on_connection_ended([this] { resume_accepting(); });
  accept_next();
}

void server::run() {
  event_loop_.run();
}

void server::accept_next() {
  new_connection_ =
      std::make_shared<connection>(event_loop_, manager_, handler_, options_.connection);
  acceptor_.async_accept(new_connection_->socket(),
                         [this](const boost::system::error_code& error) { on_accept(error); });
}

void server::on_accept(const boost::system::error_code& error) {
  if (!acceptor_.is_open()) return;
  if (!error) {
    // At the cap, the connection that has waited longest for its head makes
    // room, so idle clients can never lock a newcomer out.
    if (manager_.size() >= options_.max_connections) manager_.stop_oldest_waiting();
    manager_.start(new_connection_);
    if (manager_.size() > options_.max_connections) {
      // Every other connection is being served or lingers: the newcomer is let
      // in all the same, and the backlog holds the rest until a connection ends.
      accepting_paused_ = true;
      return;
    }
  } else if (is_resource_exhaustion(error) && !manager_.stop_oldest_waiting()) {
    // Out of descriptors with no idle client to evict: pause, so that a retry
    // loop cannot take the server over. When an eviction freed a descriptor,
    // the next accept below uses it at once.
    retry_accept_later();
    return;
  }
  accept_next();
}

void server::resume_accepting() {
  if (!accepting_paused_ || !acceptor_.is_open()) return;
  accepting_paused_ = false;
  accept_next();
}

void server::retry_accept_later() {
  accept_retry_timer_.expires_after(options_.accept_retry_delay);
  accept_retry_timer_.async_wait([this](const boost::system::error_code&) {
    if (acceptor_.is_open()) accept_next();
  });
}

void server::on_stop_signal() {
  boost::system::error_code error;
  acceptor_.close(error);
  throw_on_step_error(error, "close");
  accept_retry_timer_.cancel();
  manager_.stop_all();
}

}  // namespace http::server
