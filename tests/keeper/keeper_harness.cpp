#include "tests/keeper/keeper_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace keeper_test {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartLimit = 10s;
constexpr auto kReplyLimit = 60s;

int ConnectTo(unsigned short port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

std::string ReadUntilClosed(int fd, std::chrono::milliseconds limit) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char chunk[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return bytes;
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

// Undoes chunked transfer coding, the way the history is sent.
std::string Unchunk(const std::string& body) {
  std::string plain;
  std::size_t at = 0;
  for (;;) {
    const std::size_t line_end = body.find("\r\n", at);
    if (line_end == std::string::npos) return plain;
    const std::size_t size = std::stoul(body.substr(at, line_end - at), nullptr, 16);
    if (size == 0) return plain;
    plain += body.substr(line_end + 2, size);
    at = line_end + 2 + size + 2;
  }
}

}  // namespace

TempDir::TempDir() {
  char name[] = "/tmp/dosebridge-keeper-test-XXXXXX";
  if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  const std::string temp = path + ".new";
  std::ofstream(temp, std::ios::binary) << text;
  std::rename(temp.c_str(), path.c_str());
}

ChildProcess::ChildProcess(const std::string& binary, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::string& output_dir) {
  static std::atomic<int> counter{0};
  out_ = output_dir + "/child" + std::to_string(counter++);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int out = open((out_ + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((out_ + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    // A sanitizer runtime must not object to a preloaded simulator.
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(),
           1);
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Running() {
  if (reaped_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  reaped_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int ChildProcess::WaitForExit() {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!Running()) return status_;
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

int ChildProcess::Stop(int signal_number) {
  if (!reaped_) kill(pid_, signal_number);
  return WaitForExit();
}

int RunExport(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
  TempDir dir;
  std::vector<std::string> all{"export"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  ChildProcess child(KEEPER_BINARY, all, {}, dir.path());
  const int status = child.WaitForExit();
  *out = child.Stdout();
  *err = child.Stderr();
  return status;
}

KeeperProcess::KeeperProcess(const std::string& db, const std::string& service,
                             std::vector<std::string> extra, std::vector<std::string> wrapper) {
  std::vector<std::string> arguments{"--db", db, "--service", service, "--listen", "127.0.0.1:0"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  std::string binary = KEEPER_BINARY;
  if (!wrapper.empty()) {
    arguments.insert(arguments.begin(), binary);
    arguments.insert(arguments.begin(), wrapper.begin() + 1, wrapper.end());
    binary = wrapper.front();
  }
  process_ =
      std::make_unique<ChildProcess>(binary, arguments, std::vector<std::string>{}, dir_.path());
  const std::string marker = "serving http://127.0.0.1:";
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline && process_->Running()) {
    const std::string err = process_->Stderr();
    const std::size_t at = err.find(marker);
    if (at != std::string::npos && err.find('\n', at) != std::string::npos) {
      port_ = static_cast<unsigned short>(std::stoi(err.substr(at + marker.size())));
      return;
    }
    std::this_thread::sleep_for(10ms);
  }
  throw std::runtime_error("keeper did not start: " + process_->Stderr());
}

std::string ExchangeRaw(unsigned short port, const std::string& bytes) {
  const int fd = ConnectTo(port);
  if (fd < 0) return "";
  SendAll(fd, bytes);
  std::string reply = ReadUntilClosed(fd, kReplyLimit);
  close(fd);
  return reply;
}

std::string ExchangeWithLocalhost(const std::string& port, const std::string& bytes) {
  addrinfo hints{};
  hints.ai_flags = AI_ADDRCONFIG;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo("localhost", port.c_str(), &hints, &found) != 0 || !found) return "";
  const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const bool connected = fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0;
  freeaddrinfo(found);
  std::string reply;
  if (connected) {
    SendAll(fd, bytes);
    reply = ReadUntilClosed(fd, kReplyLimit);
  }
  if (fd >= 0) close(fd);
  return reply;
}

HttpReply Request(unsigned short port, const std::string& method, const std::string& target,
                  const std::string& host) {
  const std::string host_field = host.empty() ? "localhost:" + std::to_string(port) : host;
  const std::string raw =
      ExchangeRaw(port, method + " " + target + " HTTP/1.1\r\nHost: " + host_field +
                            "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
  HttpReply reply;
  const std::size_t end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return reply;
  reply.status = std::stoi(raw.substr(9, 3));
  reply.head = raw.substr(0, end + 2);
  reply.body = raw.substr(end + 4);
  if (reply.head.find("Transfer-Encoding: chunked") != std::string::npos) {
    reply.body = Unchunk(reply.body);
  }
  return reply;
}

HttpReply PollNow(unsigned short port) {
  return Request(port, "POST", "/api/poll");
}

StubService::StubService() {
  Listen();
  thread_ = std::thread([this] { Serve(); });
}

StubService::~StubService() {
  stopping_ = true;
  thread_.join();
  if (listener_ >= 0) close(listener_);
}

void StubService::Listen() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0) {
    throw std::runtime_error("stub cannot listen");
  }
  socklen_t size = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
}

void StubService::SetBody(const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  body_ = body;
}

void StubService::Serve() {
  while (!stopping_) {
    int fd = -1;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (listener_ >= 0) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) fd = accept(listener_, nullptr, nullptr);
      }
    }
    if (fd < 0) {
      std::this_thread::sleep_for(5ms);
      continue;
    }
    if (!answering_) {
      close(fd);
      continue;
    }
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      request.append(chunk, static_cast<std::size_t>(n));
    }
    ++requests_;
    std::string body;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      body = body_;
    }
    SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/javascript\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    close(fd);
  }
}

std::string ReadoutBody(const std::string& serial, const std::vector<Point>& points,
                        const std::string& status) {
  std::string text =
      "k({\n    \"DeviceInfo\":\n    {\n        \"Model\": \"1212\",\n"
      "        \"SerialNumber\": \"" +
      serial + "\"\n    },\n";
  if (status == "0") {
    text += "    \"RadiationPoints\":\n    [\n";
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Point& p = points[i];
      text += "        {\n            \"id\": \"" + p.id + "\",\n            \"time\": \"" +
              p.time + "\",\n            \"radiation\": \"" + p.radiation +
              "\",\n            \"period\": \"" + p.period + "\"\n        }";
      text += i + 1 < points.size() ? ",\n" : "\n";
    }
    text += "    ],\n";
  }
  return text + "    \"Status\": \"" + status + "\"\n}\n);";
}

std::string QueryOne(const std::string& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  std::string result = "<error>";
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(handle, 5000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(statement, 0);
      result = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(handle);
  return result;
}

}  // namespace keeper_test
