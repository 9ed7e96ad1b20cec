#include "service/api_request.h"

#include "device/device_protocol.h"
#include "service/device_steps.h"
#include "service/reading_document.h"

namespace service {

namespace {

constexpr std::string_view kJsonpOpen = "(";
constexpr std::string_view kJsonpClose = ");";

void RunRoute(std::string_view route_path, ReadingDocument& document) {
  if (route_path == "/Erase") {
    EraseLog();
  } else if (route_path == "/GetDeviceInfo") {
    // The count is dropped: an empty log is no failure on this route.
    ReadLogWithDeviceInfo(document);
  } else {
    PutReadout(document);
  }
}

}  // namespace

std::string_view CallbackName(std::string_view uri) {
  const std::size_t equals = uri.find('=');
  return equals == std::string_view::npos ? uri : uri.substr(equals + 1);
}

std::string_view RoutePath(std::string_view uri) {
  return uri.substr(0, uri.find('?'));
}

std::string ProcessApiRequest(std::string_view uri) {
  const std::string_view callback = CallbackName(uri);
  std::string jsonp;
  // Room for a full log's readout, so that the text is never moved.
  jsonp.reserve(callback.size() + kJsonpOpen.size() +
                ReadingDocument::MaxBytes(device::kLogEntries) + kJsonpClose.size());
  jsonp.append(callback).append(kJsonpOpen);
  // "Status" goes last, whatever happened on the device.
  ReadingDocument document(jsonp);
  try {
    RunRoute(RoutePath(uri), document);
    document.PutStatus(StatusOk);
  } catch (DeviceStatus status) {
    document.PutStatus(status);
  }
  jsonp.append(kJsonpClose);
  return jsonp;
}

}  // namespace service
