// Holds every running connection, so that all of them can be stopped at once.
#pragma once

#include <set>

#include "http/connection.h"

namespace http::server {

class connection_manager {
 public:
  connection_manager() = default;
  connection_manager(const connection_manager&) = delete;
  connection_manager& operator=(const connection_manager&) = delete;

  // Adds the connection and starts it.
  void start(const connection_ptr& c);
  // Removes the connection (if present) and stops it.
  void stop(const connection_ptr& c);
  // Stops every connection and empties the set.
  void stop_all();

  std::size_t size() const { return connections_.size(); }

 private:
  std::set<connection_ptr> connections_;
};

}  // namespace http::server
