// A plain TCP client for the tests that talk to a server over real sockets.
#pragma once

#include <chrono>
#include <string>

namespace client {

struct Endpoint {
  std::string host;  // the first address it resolves to is used, as the server does
  std::string port;
};

// Owns one client socket; closes it on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  ~Socket();

  int fd() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }
  int release();

 private:
  int fd_ = -1;
};

// A connected socket, or a closed one on failure. A `receive_buffer` above 0
// sets SO_RCVBUF before the connect, so the window stays that small.
Socket Connect(const Endpoint& endpoint, int receive_buffer = 0);
bool WaitUntilListening(const Endpoint& endpoint, std::chrono::milliseconds limit);
void SendAll(const Socket& socket, const std::string& bytes);

enum class End { kEndOfStream, kReset, kTimeOut };

// Reads until the stream ends or `limit` passes.
std::string ReadToEnd(const Socket& socket, std::chrono::milliseconds limit, End* end = nullptr);

// Connects, sends the bytes and reads the reply. Appends "<no end of stream>"
// unless the server ends the stream right behind the reply's last byte (as
// its Content-Length says), so a comparison with the expected reply fails.
std::string Exchange(const Endpoint& endpoint, const std::string& bytes);

}  // namespace client
