#include "keeper/csv_export.h"

#include <ctime>
#include <string>

namespace keeper {
namespace {

// RFC 4180: quote a field that holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string IsoUtc(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  char text[32] = "";
  if (gmtime_r(&time, &utc)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

void WriteCsvHeader(std::ostream& out) {
  out << "serial,id,time,time_utc,radiation,period\n";
}

void WriteCsv(HistoryCursor& cursor, std::ostream& out) {
  WriteCsvHeader(out);
  Reading reading;
  while (cursor.Next(&reading)) {
    out << Field(reading.serial) << ',' << Field(reading.id) << ',' << reading.time << ','
        << IsoUtc(reading.time) << ',' << Field(reading.radiation) << ',' << reading.period << "\n";
  }
}

}  // namespace keeper
