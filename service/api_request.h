// One API request: from the request URI to the JSONP text of its reading document.
#pragma once

#include <string>
#include <string_view>

namespace service {

// Runs the route that the URI's path names ("/Erase", "/GetDeviceInfo", or the
// readout for any other path) and returns callback + "(" + JSON + ");". A
// failed device step becomes the document's "Status"; other exceptions pass
// through.
std::string ProcessApiRequest(std::string_view uri);

// The two cuts that ProcessApiRequest makes, neither decoded: the callback
// name is everything after the URI's first "=" (the whole URI when it has
// none), the route path everything before its first "?".
std::string_view CallbackName(std::string_view uri);
std::string_view RoutePath(std::string_view uri);

}  // namespace service
