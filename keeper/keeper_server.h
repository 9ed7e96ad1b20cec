// The keeper's HTTP server: the viewer, the history API and metrics.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "keeper/duration_text.h"
#include "keeper/poller.h"

namespace keeper {

// A request head (request line and header fields) may not be longer.
inline constexpr std::uint32_t kMaxRequestHeadBytes = 8 << 10;
// No route takes a body; a small one is read and ignored.
inline constexpr std::uint64_t kMaxRequestBodyBytes = 4 << 10;
// A connection that sends nothing for this long is closed.
inline constexpr std::chrono::seconds kIdleTimeout{30};
// Connections beyond this are closed at once.
inline constexpr int kMaxConnections = 64;

struct ServerSettings {
  std::string web_dir;
  std::string db_path;
};

class KeeperServer {
 public:
  // Listens on every address `listen.host` names; throws when none works.
  KeeperServer(boost::asio::io_context& io, const HostPort& listen, ServerSettings settings,
               Poller& poller);
  // The address to show people, e.g. "http://127.0.0.1:5001/".
  std::string Url() const { return url_; }
  void Stop();

  struct Shared;

 private:
  void Accept(boost::asio::ip::tcp::acceptor& acceptor);

  boost::asio::io_context& io_;
  std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
  std::shared_ptr<Shared> shared_;
  unsigned short port_ = 0;
  std::string url_;
};

}  // namespace keeper
