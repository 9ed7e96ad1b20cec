// The kept readings as compact JSON, {"Readings":[...]}, written in pieces so
// that a long history never sits in memory whole.
#pragma once

#include <string>

#include "keeper/reading_store.h"

namespace keeper {

// About this many bytes per piece.
inline constexpr std::size_t kHistoryPieceBytes = 256 << 10;

class HistoryJsonWriter {
 public:
  explicit HistoryJsonWriter(HistoryCursor cursor) : cursor_(std::move(cursor)) {}
  // Replaces `piece` with the next part of the document; false once it is all written.
  bool NextPiece(std::string* piece);

 private:
  HistoryCursor cursor_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace keeper
