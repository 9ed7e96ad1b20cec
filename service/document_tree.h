// The reading document: a small ordered tree of text keys and text values,
// laid out for building and rendering a few hundred nodes per request cheaply.
#pragma once

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

class ReadingDocument {
 public:
  using Member = std::pair<std::string, ReadingDocument>;

  ReadingDocument() = default;
  explicit ReadingDocument(std::string value) : value_(std::move(value)) {}

  // The node's own text value (empty for objects and arrays).
  const std::string& data() const { return value_; }

  // Members in insertion order; a key may be empty (array elements).
  bool empty() const { return members_.empty(); }
  std::size_t size() const { return members_.size(); }
  std::vector<Member>::const_iterator begin() const { return members_.begin(); }
  std::vector<Member>::const_iterator end() const { return members_.end(); }
  const Member& back() const { return members_.back(); }

  void reserve(std::size_t members) { members_.reserve(members); }
  void push_back(Member member) { members_.push_back(std::move(member)); }
  // Appends a member and returns its node, to be filled in place.
  ReadingDocument& add(std::string key, ReadingDocument node = {}) {
    members_.emplace_back(std::move(key), std::move(node));
    return members_.back().second;
  }
  // Appends a member with a text value, built in place.
  void add_value(std::string_view key, std::string_view value) {
    members_.emplace_back(std::piecewise_construct, std::forward_as_tuple(key),
                          std::forward_as_tuple(std::string(value)));
  }

 private:
  std::string value_;
  std::vector<Member> members_;
};
