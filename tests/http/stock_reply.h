// The stock 400 reply, byte for byte, for every test that expects it.
#pragma once

#include <string>

namespace stock {

inline const std::string kBadRequestBody =
    "<html><head><title>Bad Request</title></head><body><h1>400 Bad Request</h1></body></html>";
inline const std::string kBadRequestReply =
    "HTTP/1.0 400 Bad Request\r\nContent-Length: 89\r\nContent-Type: text/html\r\n\r\n" +
    kBadRequestBody;

}  // namespace stock
