// Runs the real dosebridge binary, with the simulated dosimeter preloaded, and
// talks to it over real sockets on localhost:5000.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/http/socket_client.h"

namespace e2e {

// Where the service listens: the first address that "localhost" resolves to.
inline const client::Endpoint kService{"localhost", "5000"};

struct ServiceOptions {
  ServiceOptions(std::string sim = {})
      : sim_config(std::move(sim)) {}  // NOLINT: implicit on purpose

  std::string sim_config;   // the simulator's script
  bool preload_sim = true;  // false: the real hidapi
  std::vector<std::string> arguments;
  bool wait_until_listening = true;
  int max_open_files = 0;  // RLIMIT_NOFILE for the service; 0 leaves it
};

class ServiceProcess {
 public:
  explicit ServiceProcess(const ServiceOptions& options);
  ~ServiceProcess();  // kills the process if it still runs
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // Sends `signal_number` and waits for the exit; returns the exit status, or
  // -1 when it did not exit normally within the time limit.
  int Stop(int signal_number);
  // Waits for the process to end by itself; same result as Stop.
  int WaitForExit();
  void RewriteSimConfig(const std::string& text);

  std::string Stdout() const;
  std::string Stderr() const;
  // The simulator's event trail ("open N", "send ...", "close N").
  std::string SimRecord() const;
  pid_t pid() const { return pid_; }
  // User plus system CPU time that the process has used so far.
  std::chrono::milliseconds CpuTime() const;

 private:
  std::filesystem::path dir_;
  std::filesystem::path config_path_;
  pid_t pid_ = -1;
  int status_ = -1;
};

client::Socket Connect();
// Connects, sends the bytes and reads the whole reply; "<no end of stream>"
// follows unless the service closed right behind the reply's last byte.
std::string Exchange(const std::string& bytes);

std::string ReadFile(const std::filesystem::path& path);

}  // namespace e2e
