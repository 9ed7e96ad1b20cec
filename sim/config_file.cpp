// Scripts the simulated device from the text file that DOSEBRIDGE_SIM names.
//
//   present 0|1                     whether hid_open finds the device
//   identify <up to 15 hex bytes>   the identify answer
//   serial <7 hex bytes>            the serial number in the header answer
//   entry <index> <15 hex bytes>    one log entry
//   log <count>                     a plausible hourly log in entries 0..count-1
//   fault send|fetch <command> <index|*> <result>
//   delay_us <microseconds>         per transfer
//   record <path>                   append an event trail to this file
//   throw bad_alloc                 hid_open throws std::bad_alloc
//
// Blank lines and lines starting with # are skipped.
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "sim/device_model.h"

namespace sim {
namespace {

bool ReadHexBytes(std::istringstream& in, std::uint8_t* out, std::size_t max, std::size_t* count) {
  std::string token;
  *count = 0;
  while (in >> token) {
    if (*count == max || token.size() != 2) return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(token.c_str(), &end, 16);
    if (*end != '\0') return false;
    out[(*count)++] = static_cast<std::uint8_t>(value);
  }
  return true;
}

bool ApplyFault(std::istringstream& in) {
  std::string transfer, index;
  int command = 0, result = 0;
  if (!(in >> transfer >> command >> index >> result)) return false;
  if (transfer != "send" && transfer != "fetch") return false;
  AddFault(transfer == "send" ? Transfer::kSend : Transfer::kFetch,
           static_cast<std::uint8_t>(command), index == "*" ? kAnyIndex : std::atoi(index.c_str()),
           result);
  return true;
}

void OpenRecord(const std::string& path) {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  if (model.record) std::fclose(model.record);
  model.record = std::fopen(path.c_str(), "a");
}

bool ApplyLine(const std::string& line) {
  std::istringstream in(line);
  std::string key;
  if (!(in >> key) || key[0] == '#') return true;
  std::size_t count = 0;
  if (key == "present") {
    int present = 0;
    if (!(in >> present)) return false;
    SetPresent(present != 0);
  } else if (key == "identify") {
    Report answer{};
    if (!ReadHexBytes(in, answer.data(), answer.size(), &count)) return false;
    SetIdentifyAnswer(answer);
  } else if (key == "serial") {
    Serial serial{};
    if (!ReadHexBytes(in, serial.data(), serial.size(), &count) || count != serial.size())
      return false;
    SetSerial(serial);
  } else if (key == "entry") {
    std::uint32_t index = 0;
    Report raw{};
    if (!(in >> index) || index >= kEntries) return false;
    if (!ReadHexBytes(in, raw.data(), raw.size(), &count)) return false;
    SetEntry(index, raw);
  } else if (key == "log") {
    std::uint32_t points = 0;
    if (!(in >> points) || points > kEntries) return false;
    FillRealisticLog(points);
  } else if (key == "fault") {
    return ApplyFault(in);
  } else if (key == "delay_us") {
    long long micros = 0;
    if (!(in >> micros) || micros < 0) return false;
    SetDelay(std::chrono::microseconds{micros});
  } else if (key == "throw") {
    std::string what;
    if (!(in >> what) || what != "bad_alloc") return false;
    SetThrowOnOpen(true);
  } else if (key == "record") {
    std::string path;
    if (!(in >> path)) return false;
    OpenRecord(path);
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string ApplyConfig(const std::string& text) {
  {
    Model& model = TheModel();
    std::lock_guard<std::mutex> lock(model.mutex);
    model.ResetScript();
    model.keep_history = false;
    model.sent.clear();
    model.fetch_zeroed.clear();
  }
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!ApplyLine(line)) return "line " + std::to_string(number) + ": " + line;
  }
  return "";
}

void ReloadConfigIfChanged() {
  const char* path = std::getenv("DOSEBRIDGE_SIM");
  if (!path) return;
  static std::filesystem::file_time_type last_change{};
  static std::uintmax_t last_size = static_cast<std::uintmax_t>(-1);
  std::error_code error;
  const std::filesystem::directory_entry entry(path, error);  // one stat for both
  const auto change = entry.last_write_time(error);
  const auto size = error ? 0 : entry.file_size(error);
  if (error || (change == last_change && size == last_size)) return;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return;  // try again at the next open
  last_change = change;
  last_size = size;
  std::string text;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  std::fclose(file);
  const std::string error_line = ApplyConfig(text);
  if (!error_line.empty())
    std::fprintf(stderr, "dosebridge sim: %s: bad %s\n", path, error_line.c_str());
}

// Preloaded into a process, read the script before the process runs: it may
// later be short of descriptors.
__attribute__((constructor)) void LoadConfigAtStart() {
  ReloadConfigIfChanged();
}

}  // namespace sim
