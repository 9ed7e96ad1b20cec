// Micro-benchmarks of the service's own work, with the simulated dosimeter.
#include <benchmark/benchmark.h>

#include <string>

#include "device/device_protocol.h"
#include "device/device_state.h"
#include "device/radiation_point.h"
#include "http/request_parser.h"
#include "service/api_request.h"
#include "service/device_steps.h"
#include "service/reading_document.h"
#include "sim/sim.h"
#include "tests/device/device_state_reset.h"

namespace {

const std::string kBrowserHead =
    "GET /?callback=jQuery3510_1702300000000 HTTP/1.1\r\n"
    "Host: localhost:5000\r\n"
    "Connection: keep-alive\r\n"
    "sec-ch-ua: \"Chromium\";v=\"120\", \"Not(A:Brand\";v=\"24\"\r\n"
    "sec-ch-ua-mobile: ?0\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36\r\n"
    "sec-ch-ua-platform: \"Linux\"\r\n"
    "Accept: */*\r\n"
    "Sec-Fetch-Site: cross-site\r\n"
    "Sec-Fetch-Mode: no-cors\r\n"
    "Sec-Fetch-Dest: script\r\n"
    "Accept-Encoding: gzip, deflate, br\r\n"
    "Accept-Language: en-GB,en;q=0.9\r\n\r\n";

void FullLog() {
  device_test::ResetDeviceState();
  sim::Reset();
  sim::KeepHistory(false);  // as when preloaded into the service
  sim::FillRealisticLog(180);
}

void BM_ParseBrowserHead(benchmark::State& state) {
  for (auto _ : state) {
    http::server::request req;
    http::server::request_parser parser;
    auto result = parser.parse(req, kBrowserHead.data(), kBrowserHead.data() + kBrowserHead.size());
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(req);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBrowserHead.size()));
}
BENCHMARK(BM_ParseBrowserHead);

void BM_DecodeRadiation(benchmark::State& state) {
  std::uint16_t word = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(device::DecodeRadiation(word));
    word += 0x1357;
  }
}
BENCHMARK(BM_DecodeRadiation);

// The 180-point readout document written from an already-read log (no device
// traffic), into a string sized once, as a request does.
void BM_WriteReadoutDocument(benchmark::State& state) {
  FullLog();
  std::string warm;
  service::ReadingDocument read(warm);
  service::PutReadout(read);
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text;
    text.reserve(service::ReadingDocument::MaxBytes(device::kLogEntries));
    service::ReadingDocument document(text);
    document.PutDeviceInfo(device::TheDeviceLink());
    document.PutPoints(device::ThePointLog());
    document.PutStatus(service::StatusOk);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_WriteReadoutDocument);

// A whole readout request: device traffic with the simulator (362 transfers),
// the URI cuts, and the JSONP text.
void BM_ProcessApiRequest(benchmark::State& state) {
  FullLog();
  for (auto _ : state) benchmark::DoNotOptimize(service::ProcessApiRequest("/?callback=f"));
}
BENCHMARK(BM_ProcessApiRequest);

}  // namespace

BENCHMARK_MAIN();
