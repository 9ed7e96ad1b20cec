// Whether a request's Host header names this machine's loopback interface,
// which a page from another site cannot arrange (DNS rebinding).
#pragma once

#include <string_view>

namespace keeper {

// `host` as sent ("localhost:5001"); `port` is the one the keeper listens on.
bool NamesLoopbackHost(std::string_view host, unsigned short port);

}  // namespace keeper
