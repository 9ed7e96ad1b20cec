#include "http/connection_manager.h"

namespace http::server {

void connection_manager::start(const connection_ptr& c) {
  connections_.insert(c);
  c->start();
}

void connection_manager::stop(const connection_ptr& c) {
  connections_.erase(c);
  c->stop();
}

void connection_manager::stop_all() {
  for (const connection_ptr& c : connections_) c->stop();
  connections_.clear();
}

}  // namespace http::server
