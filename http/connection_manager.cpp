#include "http/connection_manager.h"

namespace http::server {

void connection_manager::start(const connection_ptr& c) {
  connections_.insert(c);
  c->waiting_entry_ = waiting_.insert(waiting_.end(), c);
  c->waiting_for_head_ = true;
  c->start();
}

void connection_manager::stop(const connection_ptr& c) {
  const bool removed = connections_.erase(c) > 0;
  forget_waiting(*c);
  c->stop();
  if (removed && on_ended_) on_ended_();
}

void connection_manager::stop_all() {
  for (const connection_ptr& c : connections_) {
    c->waiting_for_head_ = false;
    c->stop();
  }
  connections_.clear();
  waiting_.clear();
}

void connection_manager::head_complete(const connection_ptr& c) {
  forget_waiting(*c);
}

bool connection_manager::stop_oldest_waiting() {
  if (waiting_.empty()) return false;
  const connection_ptr oldest = waiting_.front();
  stop(oldest);
  return true;
}

void connection_manager::forget_waiting(connection& c) {
  if (!c.waiting_for_head_) return;
  c.waiting_for_head_ = false;
  waiting_.erase(c.waiting_entry_);
}

}  // namespace http::server
