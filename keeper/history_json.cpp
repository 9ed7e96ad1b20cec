#include "keeper/history_json.h"

#include <nlohmann/json.hpp>

namespace keeper {
namespace {

void AppendMember(std::string* out, const char* name, const std::string& value) {
  *out += '"';
  *out += name;
  *out += "\":";
  *out += nlohmann::json(value).dump();  // quotes and escapes
}

void AppendReading(std::string* out, const Reading& reading) {
  *out += '{';
  AppendMember(out, "serial", reading.serial);
  *out += ',';
  AppendMember(out, "id", reading.id);
  *out += ',';
  AppendMember(out, "time", std::to_string(reading.time));
  *out += ',';
  AppendMember(out, "radiation", reading.radiation);
  *out += ',';
  AppendMember(out, "period", std::to_string(reading.period));
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
