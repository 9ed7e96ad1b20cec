// Micro-benchmarks of the service's own work, with the simulated dosimeter.
#include <benchmark/benchmark.h>

#include <string>

#include "device/device_state.h"
#include "device/radiation_point.h"
#include "http/request_parser.h"
#include "service/api_request.h"
#include "service/json_text.h"
#include "service/reading_document.h"
#include "sim/sim.h"

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
  device::ResetProcessState();
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

// Device traffic with the simulator, the 180-point document and its text.
void BM_ReadoutDocument(benchmark::State& state) {
  FullLog();
  for (auto _ : state) benchmark::DoNotOptimize(BuildApiDocument("/"));
}
BENCHMARK(BM_ReadoutDocument);

// Building the 180 point nodes from an already-read log (no device traffic).
void BM_BuildReadoutTree(benchmark::State& state) {
  FullLog();
  ReadingDocument warm;
  PutReadout(warm);
  for (auto _ : state) {
    ReadingDocument document;
    PutPoints(document, device::ThePointLog(), device::ThePointLog().size());
    benchmark::DoNotOptimize(document);
  }
}
BENCHMARK(BM_BuildReadoutTree);

void BM_RenderReadout(benchmark::State& state) {
  FullLog();
  ReadingDocument document;
  PutReadout(document);
  PutStatus(document, StatusOk);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = TreeToJsonText(document);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_RenderReadout);

// The JSONP text: the document rendered straight behind the callback name.
void BM_JsonpWrap(benchmark::State& state) {
  FullLog();
  const ReadingDocument document = BuildReadingDocument("/");
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string jsonp = "jQuery3510_1702300000000(";
    AppendJsonText(document, jsonp);
    jsonp += ");";
    bytes = jsonp.size();
    benchmark::DoNotOptimize(jsonp);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_JsonpWrap);

// A whole readout request: device traffic, document and JSONP text.
void BM_ProcessApiRequest(benchmark::State& state) {
  FullLog();
  for (auto _ : state) benchmark::DoNotOptimize(ProcessApiRequest("/?callback=f"));
}
BENCHMARK(BM_ProcessApiRequest);

}  // namespace

BENCHMARK_MAIN();
