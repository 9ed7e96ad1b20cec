#include "service/api_request.h"

#include "service/json_text.h"
#include "service/reading_document.h"

namespace {

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

std::string BuildApiDocument(std::string_view route_path) {
  ReadingDocument document;
  try {
    RunRoute(route_path, document);
    PutStatus(document, StatusOk);
  } catch (DeviceStatus status) {
    PutStatus(document, status);
  }
  return TreeToJsonText(document);
}

std::string WrapJsonp(std::string_view callback, std::string_view json) {
  std::string jsonp;
  jsonp.reserve(callback.size() + json.size() + 3);
  jsonp.append(callback).append("(").append(json).append(");");
  return jsonp;
}

std::string ProcessApiRequest(std::string_view uri) {
  return WrapJsonp(CallbackName(uri), BuildApiDocument(RoutePath(uri)));
}
