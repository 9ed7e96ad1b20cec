// The command line of dosebridge-keeper.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "keeper/duration_text.h"

namespace keeper {

struct KeeperOptions {
  enum class Mode { kRun, kExport, kHelp };
  Mode mode = Mode::kRun;
  std::string db_path;  // empty: the default place
  HostPort service{"localhost", "5000"};
  HostPort listen{"localhost", "5001"};
  std::string web_dir;                        // empty: the default place
  std::optional<std::chrono::seconds> every;  // overrides the schedule
  std::int64_t since = 0;                     // export: readings from this time on
};

struct ParsedOptions {
  KeeperOptions options;
  std::string error;  // non-empty: the command line was bad
};

ParsedOptions ParseOptions(int argc, char** argv);
std::string UsageText();

}  // namespace keeper
