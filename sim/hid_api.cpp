// The four hidapi entry points, answered by the simulated device.
#include <hidapi.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "device/export.h"
#include "sim/device_model.h"
#include "sim/protocol_numbers.h"

namespace {

using sim::Model;
using sim::TheModel;

// Sleeps for the scripted per-transfer time, outside the lock.
void Pause() {
  const long long micros = TheModel().delay_us.load(std::memory_order_relaxed);
  if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

bool IsOpen(Model& model, hid_device* device) {
  if (model.open.count(device)) return true;
  ++model.stale_calls;
  model.Record("stale");
  return false;
}

std::string Hex(const unsigned char* data, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

}  // namespace

extern "C" {

DOSEBRIDGE_EXPORT hid_device* hid_open(unsigned short vendor_id, unsigned short product_id,
                                       const wchar_t* serial_number) {
  sim::ReloadConfigIfChanged();
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  ++model.open_calls;
  if (model.throw_on_open) {
    model.Record("open throw");
    throw std::bad_alloc();
  }
  if (!model.present || vendor_id != sim::kVendorId || product_id != sim::kProductId ||
      serial_number) {
    model.Record("open none");
    return nullptr;
  }
  auto* device = new hid_device_{model.next_serial++};
  model.open.insert(device);
  model.max_open = std::max(model.max_open, static_cast<int>(model.open.size()));
  model.Record("open %zu", model.open.size());
  return device;
}

DOSEBRIDGE_EXPORT int hid_send_feature_report(hid_device* device, const unsigned char* data,
                                              size_t length) {
  Pause();
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  if (!IsOpen(model, device)) return -1;
  sim::Report request{};
  std::memcpy(request.data(), data, std::min(length, request.size()));
  const sim::Fault* fault = model.FindFault(sim::Transfer::kSend, request.data());
  const int result = fault ? fault->result : static_cast<int>(length);
  model.last_sent = request;
  model.has_sent = true;
  if (model.keep_history) {
    model.sent.push_back(sim::SentRequest{std::vector<std::uint8_t>(data, data + length), result});
  }
  if (model.record) model.Record("send %s %d", Hex(data, length).c_str(), result);
  if (result <= 0) return result;  // nothing reached the device
  model.current_request = request;
  model.has_request = true;
  if (request[sim::kCommandByte] == sim::kEraseCommand) model.entries = {};
  return result;
}

DOSEBRIDGE_EXPORT int hid_get_feature_report(hid_device* device, unsigned char* data,
                                             size_t length) {
  Pause();
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  if (!IsOpen(model, device)) return -1;
  if (model.keep_history)
    model.fetch_zeroed.push_back(
        std::all_of(data, data + length, [](unsigned char b) { return b == 0; }));
  const sim::Fault* fault =
      model.has_sent ? model.FindFault(sim::Transfer::kFetch, model.last_sent.data()) : nullptr;
  if (fault) {
    model.Record("fetch %d", fault->result);
    return fault->result;
  }
  const sim::Report answer =
      model.has_request ? model.AnswerFor(model.current_request) : sim::Report{};
  const size_t delivered = std::min(length, answer.size());
  std::memcpy(data, answer.data(), delivered);
  model.Record("fetch %zu", delivered);
  return static_cast<int>(delivered);
}

DOSEBRIDGE_EXPORT void hid_close(hid_device* device) {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  if (!IsOpen(model, device)) return;
  model.open.erase(device);
  delete device;
  model.has_request = false;
  model.has_sent = false;
  model.Record("close %zu", model.open.size());
}

}  // extern "C"
