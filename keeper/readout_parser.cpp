#include "keeper/readout_parser.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

namespace keeper {
namespace {

using nlohmann::json;

// Whole decimal numbers written as the service writes them: no sign but "-",
// no leading zeros, so that the text survives a round trip through a number.
std::optional<std::int64_t> CanonicalInteger(const json& value) {
  if (!value.is_string()) return std::nullopt;
  const std::string& text = value.get_ref<const std::string&>();
  std::int64_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  if (std::to_string(number) != text) return std::nullopt;
  return number;
}

std::optional<double> FiniteNumber(const std::string& text) {
  if (text.empty() || std::strchr("0123456789-.", text[0]) == nullptr) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Reading> ParsePoint(const json& point, const std::string& serial) {
  if (!point.is_object()) return std::nullopt;
  const auto id = point.find("id");
  const auto time = point.find("time");
  const auto radiation = point.find("radiation");
  const auto period = point.find("period");
  if (id == point.end() || time == point.end() || radiation == point.end() ||
      period == point.end() || !radiation->is_string()) {
    return std::nullopt;
  }
  const auto id_number = CanonicalInteger(*id);
  const auto time_number = CanonicalInteger(*time);
  const auto period_number = CanonicalInteger(*period);
  const std::string& radiation_text = radiation->get_ref<const std::string&>();
  const auto radiation_value = FiniteNumber(radiation_text);
  if (!id_number || !time_number || *time_number < 0 || !period_number || !radiation_value) {
    return std::nullopt;
  }
  return Reading{serial,         id->get<std::string>(), *time_number,
                 radiation_text, *radiation_value,       *period_number};
}

// The JSON inside "k(" ... ");".
std::optional<std::string> Unwrap(const std::string& body) {
  const std::string head = std::string(kReadoutCallback) + "(";
  std::size_t end = body.find_last_not_of(" \t\r\n");
  if (body.compare(0, head.size(), head) != 0 || end == std::string::npos || body[end] != ';') {
    return std::nullopt;
  }
  end = body.find_last_not_of(" \t\r\n", end - 1);
  if (end == std::string::npos || end < head.size() || body[end] != ')') return std::nullopt;
  return body.substr(head.size(), end - head.size());
}

}  // namespace

std::optional<Readout> ParseReadout(const std::string& body) {
  const auto text = Unwrap(body);
  if (!text) return std::nullopt;
  const json document = json::parse(*text, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;
  const auto status = document.find("Status");
  if (status == document.end()) return std::nullopt;
  const auto status_number = CanonicalInteger(*status);
  if (!status_number || *status_number < 0 || *status_number > 255) return std::nullopt;
  Readout readout;
  readout.status = static_cast<int>(*status_number);

  const auto info = document.find("DeviceInfo");
  if (info != document.end()) {
    const auto serial = info->is_object() ? info->find("SerialNumber") : info->end();
    if (!info->is_object() || serial == info->end() || !serial->is_string() ||
        serial->get_ref<const std::string&>().empty()) {
      return std::nullopt;
    }
    readout.serial = serial->get<std::string>();
  }
  if (readout.status != kStatusOk) return readout;

  // A successful readout names its device and lists its points.
  const auto points = document.find("RadiationPoints");
  if (readout.serial.empty() || points == document.end() || !points->is_array()) {
    return std::nullopt;
  }
  readout.readings.reserve(points->size());
  for (const json& point : *points) {
    auto reading = ParsePoint(point, readout.serial);
    if (!reading) return std::nullopt;
    readout.readings.push_back(std::move(*reading));
  }
  return readout;
}

}  // namespace keeper
