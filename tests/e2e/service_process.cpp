#include "tests/e2e/service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

using namespace std::chrono_literals;

std::string MakeTempDir() {
  char name[] = "/tmp/dosebridge-e2e-XXXXXX";
  if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
  return name;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  // Write and rename, so the service never reads a half-written script.
  std::filesystem::path temp = path;
  temp += ".new";
  std::ofstream(temp) << text;
  std::filesystem::rename(temp, path);
}

}  // namespace

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

ServiceProcess::ServiceProcess(const ServiceOptions& options) : dir_(MakeTempDir()) {
  config_path_ = dir_ / "sim.conf";
  RewriteSimConfig(options.sim_config);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int out = open((dir_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((dir_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    if (options.preload_sim) {
      setenv("LD_PRELOAD", SIM_LIBRARY, 1);
      setenv("DOSEBRIDGE_SIM", config_path_.c_str(), 1);
    }
    // A sanitizer runtime must not object to the simulator being loaded first.
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(),
           1);
    if (options.max_open_files > 0) {
      const rlimit limit{static_cast<rlim_t>(options.max_open_files),
                         static_cast<rlim_t>(options.max_open_files)};
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(DOSEBRIDGE_BINARY)};
    for (const std::string& a : options.arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(DOSEBRIDGE_BINARY, argv.data());
    _exit(127);
  }
  if (options.wait_until_listening && !client::WaitUntilListening(kService, 10s)) {
    throw std::runtime_error("service did not start listening: " + Stderr());
  }
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

int ServiceProcess::WaitForExit() {
  for (int i = 0; i < 1000; ++i) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return WIFEXITED(status) ? status_ : -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

int ServiceProcess::Stop(int signal_number) {
  kill(pid_, signal_number);
  return WaitForExit();
}

void ServiceProcess::RewriteSimConfig(const std::string& text) {
  WriteFile(config_path_, text + "\nrecord " + (dir_ / "sim.record").string() + "\n");
}

std::chrono::milliseconds ServiceProcess::CpuTime() const {
  std::istringstream stat(ReadFile("/proc/" + std::to_string(pid_) + "/stat"));
  std::string field;
  // Skip to fields 14 and 15 (utime, stime); the name in field 2 has no blanks here.
  for (int i = 1; i < 14; ++i) stat >> field;
  long long user = 0, system = 0;
  stat >> user >> system;
  return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
}

std::string ServiceProcess::Stdout() const {
  return ReadFile(dir_ / "stdout");
}
std::string ServiceProcess::Stderr() const {
  return ReadFile(dir_ / "stderr");
}
std::string ServiceProcess::SimRecord() const {
  return ReadFile(dir_ / "sim.record");
}

client::Socket Connect() {
  return client::Connect(kService);
}

std::string Exchange(const std::string& bytes) {
  return client::Exchange(kService, bytes);
}

}  // namespace e2e
