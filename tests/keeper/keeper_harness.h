// Runs the real keeper (and a stub or the real service) for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keeper_test {

// A temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// A child process with its stdout and stderr in files.
class ChildProcess {
 public:
  ChildProcess(const std::string& binary, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, const std::string& output_dir);
  ~ChildProcess();  // SIGKILL if still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Sends the signal and waits; the exit status, 128+signal, or -1 on a hang.
  int Stop(int signal_number);
  int WaitForExit();
  bool Running();
  std::string Stdout() const { return ReadFile(out_ + ".out"); }
  std::string Stderr() const { return ReadFile(out_ + ".err"); }

 private:
  std::string out_;
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
};

// Runs the keeper's `export` subcommand; returns the exit status.
int RunExport(const std::vector<std::string>& arguments, std::string* out, std::string* err);

// The keeper on an ephemeral port of 127.0.0.1.
class KeeperProcess {
 public:
  // `service`: HOST:PORT of the service to poll.
  // `wrapper`: a command that runs the keeper's command line after its own words.
  KeeperProcess(const std::string& db, const std::string& service,
                std::vector<std::string> extra = {}, std::vector<std::string> wrapper = {});
  ChildProcess& process() { return *process_; }
  unsigned short port() const { return port_; }

 private:
  TempDir dir_;
  std::unique_ptr<ChildProcess> process_;
  unsigned short port_ = 0;
};

struct HttpReply {
  int status = 0;  // 0: no reply
  std::string head;
  std::string body;
};

// Sends raw bytes to 127.0.0.1:port and reads until the server closes.
std::string ExchangeRaw(unsigned short port, const std::string& bytes);
// The same to the first address "localhost" resolves to, as the service
// listens there; "" when nothing listens.
std::string ExchangeWithLocalhost(const std::string& port, const std::string& bytes);
// One request with "Connection: close"; `host` empty: "localhost:<port>".
HttpReply Request(unsigned short port, const std::string& method, const std::string& target,
                  const std::string& host = "");
// POST /api/poll and the members of its JSON answer.
HttpReply PollNow(unsigned short port);

// A stand-in for the service on an ephemeral port: answers every request with
// the current body (a readout, or anything a test needs).
class StubService {
 public:
  StubService();
  ~StubService();
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  void SetBody(const std::string& body);
  // Hangs up on every request without an answer, as a crashing service
  // would, until Resume.
  void Pause() { answering_ = false; }
  void Resume() { answering_ = true; }
  int requests() const { return requests_; }

 private:
  void Listen();
  void Serve();

  unsigned short port_ = 0;
  int listener_ = -1;
  std::mutex mutex_;
  std::string body_;
  std::atomic<int> requests_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> answering_{true};
  std::thread thread_;
};

// A readout document as the service writes it: points are
// {id, time, radiation, period} texts.
struct Point {
  std::string id, time, radiation, period;
};
std::string ReadoutBody(const std::string& serial, const std::vector<Point>& points,
                        const std::string& status = "0");

// The result of a one-value SQL query on the database, with the sqlite3 C API.
std::string QueryOne(const std::string& db, const std::string& sql);

}  // namespace keeper_test
