#include "keeper/keeper_server.h"

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <stdexcept>

#include "keeper/keeper_session.h"

namespace keeper {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

constexpr std::chrono::milliseconds kAcceptRetryDelay{100};

}  // namespace

KeeperServer::KeeperServer(asio::io_context& io, const HostPort& listen, ServerSettings settings,
                           Poller& poller)
    : io_(io), shared_(std::make_shared<Shared>(Shared{std::move(settings), poller})) {
  tcp::resolver resolver(io);
  const auto found = resolver.resolve(listen.host, listen.port, tcp::resolver::passive);
  std::string first_error;
  for (const auto& entry : found) {
    tcp::endpoint endpoint = entry.endpoint();
    // With port 0, every address after the first takes the port the first got.
    if (port_ != 0) endpoint.port(port_);
    auto acceptor = std::make_unique<tcp::acceptor>(io);
    boost::system::error_code error;
    acceptor->open(endpoint.protocol(), error);
    if (!error && endpoint.address().is_v6()) acceptor->set_option(asio::ip::v6_only(true), error);
    if (!error) acceptor->set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) acceptor->bind(endpoint, error);
    if (!error) acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
      if (first_error.empty())
        first_error = endpoint.address().to_string() + ": " + error.message();
      continue;
    }
    if (port_ == 0) {
      port_ = acceptor->local_endpoint().port();
      url_ =
          "http://" + UrlHost(endpoint.address().to_string()) + ":" + std::to_string(port_) + "/";
    }
    acceptors_.push_back(std::move(acceptor));
  }
  if (acceptors_.empty()) {
    throw std::runtime_error("cannot listen on " + UrlHost(listen.host) + ":" + listen.port + ": " +
                             first_error);
  }
  shared_->port = port_;
  for (auto& acceptor : acceptors_) Accept(*acceptor);
}

void KeeperServer::Accept(tcp::acceptor& acceptor) {
  acceptor.async_accept([this, &acceptor](boost::system::error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted) return;
    if (error) {
      // Out of descriptors, say: wait a little instead of spinning.
      auto timer = std::make_shared<asio::steady_timer>(io_, kAcceptRetryDelay);
      timer->async_wait([this, &acceptor, timer](boost::system::error_code waited) {
        if (!waited) Accept(acceptor);
      });
      return;
    }
    if (shared_->connections < kMaxConnections) {
      StartSession(std::move(socket), shared_);
    }  // else the socket closes as it goes out of scope
    Accept(acceptor);
  });
}

void KeeperServer::Stop() {
  for (auto& acceptor : acceptors_) {
    boost::system::error_code ignored;
    acceptor->close(ignored);
  }
}

}  // namespace keeper
