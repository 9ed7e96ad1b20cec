#include "keeper/history_json.h"

#include <charconv>
#include <nlohmann/json.hpp>

namespace keeper {
namespace {

bool NeedsEscape(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == '"' || c == '\\' || c >= 0x80) return true;
  }
  return false;
}

void AppendMember(std::string* out, const char* name, const std::string& value) {
  *out += '"';
  *out += name;
  *out += "\":";
  if (NeedsEscape(value)) {
    *out += nlohmann::json(value).dump();  // quotes, escapes, checks UTF-8
  } else {
    *out += '"';
    *out += value;
    *out += '"';
  }
}

void AppendMember(std::string* out, const char* name, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  *out += '"';
  *out += name;
  *out += "\":\"";
  out->append(digits, end);
  *out += '"';
}

void AppendReading(std::string* out, const Reading& reading) {
  *out += '{';
  AppendMember(out, "serial", reading.serial);
  *out += ',';
  AppendMember(out, "id", reading.id);
  *out += ',';
  AppendMember(out, "time", reading.time);
  *out += ',';
  AppendMember(out, "radiation", reading.radiation);
  *out += ',';
  AppendMember(out, "period", reading.period);
  *out += '}';
}

}  // namespace

bool HistoryJsonWriter::NextPiece(std::string* piece) {
  piece->clear();
  if (finished_) return false;
  Reading reading;
  if (!started_) *piece += "{\"Readings\":[";
  while (piece->size() < kHistoryPieceBytes) {
    if (!cursor_.Next(&reading)) {
      *piece += "]}";
      finished_ = true;
      return true;
    }
    if (started_) *piece += ',';
    started_ = true;
    AppendReading(piece, reading);
  }
  return true;
}

}  // namespace keeper
