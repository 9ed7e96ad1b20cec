// Socket options of the listening socket that differ between platforms.
#pragma once

namespace http::server {

// Whether the listener sets SO_REUSEADDR. Where it lets a restart bind over
// sockets in TIME_WAIT without letting another listener share the port, yes.
bool reuse_address_on_listen();

}  // namespace http::server
