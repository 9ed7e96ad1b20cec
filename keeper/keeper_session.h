// One client connection of the keeper's HTTP server.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <memory>

#include "keeper/keeper_server.h"

namespace keeper {

struct KeeperServer::Shared {
  ServerSettings settings;
  Poller& poller;
  unsigned short port = 0;
  int connections = 0;  // touched on the server's thread only
};

// Serves requests on `socket` until the client leaves or idles.
void StartSession(boost::asio::ip::tcp::socket socket,
                  std::shared_ptr<KeeperServer::Shared> shared);

}  // namespace keeper
