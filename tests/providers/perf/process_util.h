// Runs programs for the integration tests: one-shot commands with their output
// captured, and a cimserver serving the performance module on a free loopback port
// over a temporary installation root. No shell is involved; every process started
// is stopped by its owner, also when a test fails.
#ifndef MGMT_TESTS_PERF_PROCESS_UTIL_H
#define MGMT_TESTS_PERF_PROCESS_UTIL_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace perftest {

struct RunResult {
  int status = -1;  ///< exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

/// Runs `argv` to completion with standard output and error captured in files of
/// `scratch`.
inline RunResult Run(const std::vector<std::string>& argv, const std::filesystem::path& scratch) {
  const auto outPath = scratch / "run.out";
  const auto errPath = scratch / "run.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  RunResult result;
  if (rc != 0) {
    result.err = "cannot start " + argv[0];
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  return result;
}

/// A cimserver with only the performance classes, registrations and module, over
/// an installation root whose /proc is a link to `procDir` (the real /proc or a
/// fixture's).
class PerfCimServer {
 public:
  explicit PerfCimServer(const std::string& procDir) {
    std::string templ = (std::filesystem::temp_directory_path() / "perfcim.XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = templ;
    namespace fs = std::filesystem;
    const fs::path src = MGMT_SOURCE_DIR;
    fs::create_directories(root_ / "classes");
    fs::create_directories(root_ / "registrations");
    fs::create_directories(root_ / "modules");
    fs::create_directories(root_ / "scratch");
    fs::create_symlink(src / "mof/classes/SM_PerfCounters.mof",
                       root_ / "classes/SM_PerfCounters.mof");
    fs::create_symlink(src / "mof/registrations/PerfCounters.reg",
                       root_ / "registrations/PerfCounters.reg");
    fs::create_symlink(PERF_MODULE_PATH, root_ / "modules/libPerfCounters.so");
    fs::create_directory_symlink(procDir, root_ / "proc");
    start();
  }

  ~PerfCimServer() {
    stop();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  PerfCimServer(const PerfCimServer&) = delete;
  PerfCimServer& operator=(const PerfCimServer&) = delete;

  /// "http://127.0.0.1:PORT/root/cimv2"
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/root/cimv2"; }
  std::filesystem::path scratch() const { return root_ / "scratch"; }
  const std::filesystem::path& root() const { return root_; }

 private:
  void start() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    const std::string log = (root_ / "cimserver.log").string();
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::vector<std::string> argv = {CIMSERVER_PATH,
                                           "--classes",
                                           "/classes",
                                           "--registrations",
                                           "/registrations",
                                           "--modules",
                                           "/modules",
                                           "--address",
                                           "127.0.0.1",
                                           "--port",
                                           "0",
                                           "--print-port",
                                           "--set",
                                           "enableAuthentication=false",
                                           "--set",
                                           "enableLocalSocket=false"};
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The server resolves its directories and the module its /proc files through
    // the root given in its environment.
    std::vector<std::string> env = {"MGMTAGENT_ROOT=" + root_.string(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      pid_ = -1;
      throw std::runtime_error("cannot start cimserver");
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char buf[64];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    port_ = static_cast<unsigned>(std::strtoul(line.c_str(), nullptr, 10));
    if (port_ == 0) {
      stop();
      throw std::runtime_error("cimserver did not start: " + ReadAll(log));
    }
  }

  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  std::filesystem::path root_;
  pid_t pid_ = -1;
  unsigned port_ = 0;
};

}  // namespace perftest

#endif
