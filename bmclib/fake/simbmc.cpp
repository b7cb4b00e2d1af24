#include "simbmc.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace mgmt::fake {

int RunProgram(const std::vector<std::string>& argv, std::string* out) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out != nullptr) {
    // Close-on-exec, so programs that other threads start meanwhile do not keep
    // the write end open (the read below would wait for them to end).
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  }
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (out != nullptr) {
    ::close(pipeFds[1]);
    if (rc == 0) {
      char buf[4096];
      ssize_t n;
      while ((n = ::read(pipeFds[0], buf, sizeof(buf))) > 0)
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
  }
  if (rc != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SimulatedBmc::SimulatedBmc(const std::string& sourceDir, const std::string& imbd)
    : script_(sourceDir + "/scripts/bmcsim.sh") {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bmcsim.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::string ports;
  if (!Script({"start", root_, "--imbd", imbd}, &ports)) {
    Script({"stop", root_});
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    throw std::runtime_error("simulated BMC did not start; see " + root_ + "/run/bmcsim");
  }
  std::istringstream lines(ports);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("VM_PORT=")) vmPort_ = std::stoi(line.substr(8));
    if (line.starts_with("LAN_PORT=")) lanPort_ = std::stoi(line.substr(9));
  }
}

SimulatedBmc::~SimulatedBmc() {
  Script({"stop", root_});
  if (std::getenv("BMCSIM_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}

bool SimulatedBmc::Script(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> argv{"bash", script_};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, out) == 0;
}

std::string SimulatedBmc::Command(const std::string& command) {
  std::string out;
  Script({"cmd", root_, command}, &out);
  return out;
}

int SimulatedBmc::AddSelEvent(const std::vector<uint8_t>& thirteenBytes) {
  std::string command = "sel_add 0x20 0x02";
  char hex[8];
  for (const uint8_t b : thirteenBytes) {
    std::snprintf(hex, sizeof(hex), " 0x%02x", b);
    command += hex;
  }
  const std::string out = Command(command);
  const auto at = out.find("Added record ");
  if (at == std::string::npos) return -1;
  return std::atoi(out.c_str() + at + 13);
}

bool SimulatedBmc::StopSimulator() { return Script({"sim-stop", root_}); }
bool SimulatedBmc::StartSimulator() { return Script({"sim-start", root_}); }
bool SimulatedBmc::StopImbd() { return Script({"imbd-stop", root_}); }
bool SimulatedBmc::StartImbd() { return Script({"imbd-start", root_}); }

}  // namespace mgmt::fake
