#include "tests/http/socket_client.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace client {
namespace {

using namespace std::chrono_literals;

// How long a whole reply may take to arrive (a slow device holds it back).
constexpr auto kReplyLimit = 60s;
// How long the end of stream may lag behind the reply's last byte.
constexpr auto kEndOfStreamLimit = 2s;
constexpr std::size_t kChunkSize = 65536;

// The reply's full length per its Content-Length, or 0 while the head is incomplete.
std::size_t ExpectedLength(const std::string& reply) {
  const std::size_t head_end = reply.find("\r\n\r\n");
  if (head_end == std::string::npos) return 0;
  const std::string name = "\r\nContent-Length: ";
  const std::size_t at = reply.find(name);
  if (at == std::string::npos || at > head_end) return head_end + 4;
  return head_end + 4 + std::strtoul(reply.c_str() + at + name.size(), nullptr, 10);
}

// Appends what one read gives; false once the stream has ended or `deadline` passed.
bool ReadSome(const Socket& socket, std::chrono::steady_clock::time_point deadline,
              std::string* bytes, End* end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd p{socket.fd(), POLLIN, 0};
  if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
    *end = End::kTimeOut;
    return false;
  }
  char chunk[kChunkSize];
  const ssize_t n = recv(socket.fd(), chunk, sizeof chunk, 0);
  if (n <= 0) {
    *end = n == 0 ? End::kEndOfStream : End::kReset;
    return false;
  }
  bytes->append(chunk, static_cast<std::size_t>(n));
  return true;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.release();
  }
  return *this;
}

Socket::~Socket() {
  if (fd_ >= 0) close(fd_);
}

int Socket::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

Socket Connect(const Endpoint& endpoint, int receive_buffer) {
  addrinfo hints{};
  hints.ai_flags = AI_ADDRCONFIG;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (getaddrinfo(endpoint.host.c_str(), endpoint.port.c_str(), &hints, &found) != 0 || !found)
    return Socket();
  Socket socket(::socket(found->ai_family, found->ai_socktype, found->ai_protocol));
  if (socket.is_open() && receive_buffer > 0)
    setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  const bool connected =
      socket.is_open() && connect(socket.fd(), found->ai_addr, found->ai_addrlen) == 0;
  freeaddrinfo(found);
  if (!connected) return Socket();
  const int one = 1;
  setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return socket;
}

bool WaitUntilListening(const Endpoint& endpoint, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Connect(endpoint).is_open()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

void SendAll(const Socket& socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(socket.fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

std::string ReadToEnd(const Socket& socket, std::chrono::milliseconds limit, End* end) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  End how = End::kTimeOut;
  while (ReadSome(socket, deadline, &bytes, &how)) {
  }
  if (end) *end = how;
  return bytes;
}

std::string Exchange(const Endpoint& endpoint, const std::string& bytes) {
  const Socket socket = Connect(endpoint);
  if (!socket.is_open()) return "<no connection>";
  SendAll(socket, bytes);
  std::string reply;
  End end = End::kTimeOut;
  auto deadline = std::chrono::steady_clock::now() + kReplyLimit;
  bool whole = false;
  while (ReadSome(socket, deadline, &reply, &end)) {
    const std::size_t expected = ExpectedLength(reply);
    if (!whole && expected > 0 && reply.size() >= expected) {
      whole = true;  // from here on, only the end of stream may come
      deadline = std::chrono::steady_clock::now() + kEndOfStreamLimit;
    }
  }
  const std::size_t expected = ExpectedLength(reply);
  if (end != End::kEndOfStream || expected == 0 || reply.size() != expected)
    reply += "<no end of stream>";
  return reply;
}

}  // namespace client
