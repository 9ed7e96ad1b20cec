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

// The route's document, with "Status" put last, whatever happened on the device.
ReadingDocument BuildReadingDocument(std::string_view route_path) {
  ReadingDocument document;
  try {
    RunRoute(route_path, document);
    PutStatus(document, StatusOk);
  } catch (DeviceStatus status) {
    PutStatus(document, status);
  }
  return document;
}

std::string BuildApiDocument(std::string_view route_path) {
  return TreeToJsonText(BuildReadingDocument(route_path));
}

std::string ProcessApiRequest(std::string_view uri) {
  // The JSON is written straight behind the callback: the text is never copied.
  const ReadingDocument document = BuildReadingDocument(RoutePath(uri));
  const std::string_view callback = CallbackName(uri);
  std::string jsonp;
  jsonp.reserve(callback.size() + 1);
  jsonp.append(callback).append("(");
  AppendJsonText(document, jsonp);
  jsonp.append(");");
  return jsonp;
}
