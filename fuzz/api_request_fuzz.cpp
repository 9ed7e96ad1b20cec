// ProcessApiRequest on arbitrary URIs with a simulated dosimeter in one of
// several states: the JSONP must be callback + "(" + JSON + ");" and the JSON
// must parse, with "Status" as its last member.
#include <boost/property_tree/json_parser.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "service/api_request.h"
#include "sim/sim.h"

namespace {

void ScriptDevice(std::uint8_t scenario) {
  sim::Reset();
  sim::SetPresent((scenario & 1) == 0);
  static const std::uint32_t kLogSizes[] = {0, 1, 2, sim::kEntries};
  sim::FillRealisticLog(kLogSizes[(scenario >> 1) & 3]);
  if (scenario & 8) sim::SetEntry(3, sim::MakeEntry(0xFF, 0xFFFFFFFF, 0x8FFF, 0xEE));
  if (scenario & 16) {
    static const std::uint8_t kCommands[] = {sim::kIdentifyCommand, sim::kHeaderCommand,
                                             sim::kEntryCommand, sim::kEraseCommand};
    const std::uint8_t command = kCommands[(scenario >> 5) & 3];
    sim::AddFault(
        scenario & 128 ? sim::Transfer::kFetch : sim::Transfer::kSend, command,
        command == sim::kEntryCommand ? static_cast<int>(scenario % sim::kEntries) : sim::kAnyIndex,
        scenario & 4 ? 0 : -1);
  }
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 1) return 0;
  ScriptDevice(bytes[0]);
  const std::string uri(reinterpret_cast<const char*>(bytes + 1), size - 1);
  const std::string jsonp = service::ProcessApiRequest(uri);

  const std::string callback(service::CallbackName(uri));
  Check(jsonp.size() >= callback.size() + 3);
  Check(jsonp.compare(0, callback.size(), callback) == 0);
  Check(jsonp[callback.size()] == '(');
  Check(jsonp.compare(jsonp.size() - 2, 2, ");") == 0);
  const std::string json = jsonp.substr(callback.size() + 1, jsonp.size() - callback.size() - 3);
  Check(!json.empty() && json.back() == '\n');

  boost::property_tree::ptree document;
  std::istringstream in(json);
  try {
    boost::property_tree::read_json(in, document);
  } catch (const boost::property_tree::json_parser_error&) {
    std::abort();
  }
  Check(!document.empty() && document.back().first == "Status");
  Check(sim::OpenHandles() == 0);
  return 0;
}
