// One API request: from the request URI to the JSONP text of its reading document.
#pragma once

#include <string>
#include <string_view>

#include "service/document_tree.h"

// Runs the route that `route_path` names and returns its document.
ReadingDocument BuildReadingDocument(std::string_view route_path);

// Runs the route that `route_path` names ("/Erase", "/GetDeviceInfo", or the
// readout for any other path) and returns its JSON text. A failed device step
// becomes the document's "Status"; other exceptions pass through.
std::string BuildApiDocument(std::string_view route_path);

// The callback name is everything after the URI's first "=" (the whole URI
// when it has none), the route path everything before its first "?". Neither
// is decoded. Returns callback + "(" + JSON + ");".
std::string ProcessApiRequest(std::string_view uri);

// The two cuts that ProcessApiRequest makes.
std::string_view CallbackName(std::string_view uri);
std::string_view RoutePath(std::string_view uri);
