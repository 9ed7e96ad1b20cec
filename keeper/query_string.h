// Query strings as browsers send them (application/x-www-form-urlencoded).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keeper {

using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// The decoded name/value pairs; nullopt when an escape is malformed.
std::optional<QueryParameters> ParseQueryString(std::string_view query);

}  // namespace keeper
