// Holds every running connection, so that all of them can be stopped at once,
// and knows which of them are still waiting for their request head.
#pragma once

#include <functional>
#include <list>
#include <set>

#include "http/connection.h"

namespace http::server {

class connection_manager {
 public:
  connection_manager() = default;
  connection_manager(const connection_manager&) = delete;
  connection_manager& operator=(const connection_manager&) = delete;

  // Adds the connection, as waiting for its head, and starts it.
  void start(const connection_ptr& c);
  // Removes the connection (if present) and stops it.
  void stop(const connection_ptr& c);
  // Stops every connection and empties the set.
  void stop_all();

  // The connection has its head (or will never get one): it no longer waits.
  void head_complete(const connection_ptr& c);
  // Stops the connection that has waited longest for its head; false if none waits.
  bool stop_oldest_waiting();
  std::size_t size() const { return connections_.size(); }

  // Called after `stop` has removed a connection.
  void on_connection_ended(std::function<void()> callback) { on_ended_ = std::move(callback); }

 private:
  void forget_waiting(connection& c);

  std::set<connection_ptr> connections_;
  std::list<connection_ptr> waiting_;  // oldest first
  std::function<void()> on_ended_;
};

}  // namespace http::server
