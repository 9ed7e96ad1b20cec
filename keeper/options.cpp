#include "keeper/options.h"

#include <getopt.h>

#include <charconv>
#include <cstring>

namespace keeper {
namespace {

enum OptionId { kDb = 1, kService, kListen, kWeb, kEvery, kSince, kHelp };

bool ParseEpoch(const char* text, std::int64_t* value) {
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, *value);
  return *text != '\0' && error == std::errc() && stop == end && *value >= 0;
}

std::string ApplyOption(int id, const char* value, bool exporting, KeeperOptions* options) {
  const std::string text = value ? value : "";
  switch (id) {
    case kDb:
      if (text.empty()) return "--db needs a path";
      options->db_path = text;
      return "";
    case kHelp:
      options->mode = KeeperOptions::Mode::kHelp;
      return "";
    case kSince:
      if (!exporting) return "--since belongs to export";
      return ParseEpoch(value, &options->since) ? "" : "bad --since: " + text;
    default:
      break;
  }
  if (exporting) return "export takes only --db and --since";
  switch (id) {
    case kService:
    case kListen: {
      const auto address = ParseHostPort(text);
      if (!address) return "bad address (HOST:PORT): " + text;
      if (id == kService && address->port == "0") return "bad --service port: " + text;
      (id == kService ? options->service : options->listen) = *address;
      return "";
    }
    case kWeb:
      if (text.empty()) return "--web needs a folder";
      options->web_dir = text;
      return "";
    case kEvery:
      options->every = ParseDuration(text);
      return options->every ? "" : "bad --every (e.g. 30s, 10m, 2h): " + text;
    default:
      return "unknown option";
  }
}

}  // namespace

ParsedOptions ParseOptions(int argc, char** argv) {
  ParsedOptions parsed;
  int first = 1;
  const bool exporting = argc > 1 && std::strcmp(argv[1], "export") == 0;
  if (exporting) {
    parsed.options.mode = KeeperOptions::Mode::kExport;
    first = 2;
  }
  static const option kOptions[] = {{"db", required_argument, nullptr, kDb},
                                    {"service", required_argument, nullptr, kService},
                                    {"listen", required_argument, nullptr, kListen},
                                    {"web", required_argument, nullptr, kWeb},
                                    {"every", required_argument, nullptr, kEvery},
                                    {"since", required_argument, nullptr, kSince},
                                    {"help", no_argument, nullptr, kHelp},
                                    {nullptr, 0, nullptr, 0}};
  // getopt_long works on argv from index 1: hand it the part after the subcommand.
  const int count = argc - first + 1;
  char** args = argv + first - 1;
  optind = 0;  // resets getopt, also for a second parse in the same process
  opterr = 0;  // we say what is wrong ourselves
  for (;;) {
    const int id = getopt_long(count, args, "+", kOptions, nullptr);
    if (id == -1) break;
    if (id == '?' || id == ':') {
      parsed.error = std::string("bad option: ") + args[optind - 1];
      return parsed;
    }
    parsed.error = ApplyOption(id, optarg, exporting, &parsed.options);
    if (!parsed.error.empty()) return parsed;
  }
  if (optind < count) parsed.error = std::string("unexpected argument: ") + args[optind];
  return parsed;
}

std::string UsageText() {
  return "usage: dosebridge-keeper [--db PATH] [--service HOST:PORT] [--listen HOST:PORT]\n"
         "                         [--web DIR] [--every DURATION]\n"
         "       dosebridge-keeper export [--db PATH] [--since EPOCH]\n"
         "\n"
         "Keeps every reading that dosebridge shows in an SQLite database and serves\n"
         "the history on http://localhost:5001.\n"
         "  --db PATH            database (default $XDG_STATE_HOME/dosebridge/readings.sqlite3)\n"
         "  --service HOST:PORT  the dosebridge service (default localhost:5000)\n"
         "  --listen HOST:PORT   where to serve (default localhost:5001; port 0 picks one)\n"
         "  --web DIR            the viewer's files (default: the installed ones)\n"
         "  --every DURATION     poll at this interval (e.g. 30s, 10m, 2h) instead of the\n"
         "                       schedule that follows the device's logging period\n"
         "  export               write the kept readings as CSV to stdout\n"
         "  --since EPOCH        export only readings from this time (seconds) on\n";
}

}  // namespace keeper
