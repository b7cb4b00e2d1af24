#include "support/sim_bmc.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "support/process.h"

namespace mgmt::test {

SimulatedBmc::SimulatedBmc(const std::string& imbd)
    : script_(SourcePath("scripts/bmcsim.sh").string()),
      dir_(std::make_unique<TempDir>("bmcsim")),
      root_(dir_->Path().string()) {
  std::string ports;
  if (!Script({"start", root_, "--imbd", imbd}, &ports)) {
    Script({"stop", root_});
    throw std::runtime_error("simulated BMC did not start (MGMT_TEST_KEEP=1 keeps " + root_ +
                             "/run/bmcsim for a look)");
  }
  std::istringstream lines(ports);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("VM_PORT=")) vmPort_ = std::stoi(line.substr(8));
    if (line.starts_with("LAN_PORT=")) lanPort_ = std::stoi(line.substr(9));
  }
}

SimulatedBmc::~SimulatedBmc() { Script({"stop", root_}); }

bool SimulatedBmc::Script(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> argv{"bash", script_};
  argv.insert(argv.end(), args.begin(), args.end());
  RunOptions options;
  options.timeout = std::chrono::seconds(120);
  const RunResult result = RunProgram(argv, options);
  if (out != nullptr) *out = result.out;
  // The script's own complaints help whoever reads a failed test's log.
  if (!result.Ok()) std::fputs(result.err.c_str(), stderr);
  return result.Ok();
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

RunResult SimulatedBmc::Ipmitool(const std::string& user, const std::string& password,
                                 const std::vector<std::string>& command) const {
  std::vector<std::string> args{
      "ipmitool", "-I", "lanplus", "-C",    "3", "-H", "127.0.0.1", "-p", std::to_string(lanPort_),
      "-U",       user, "-P",      password};
  args.insert(args.end(), command.begin(), command.end());
  RunOptions options;
  options.timeout = std::chrono::seconds(30);
  options.mergeStderr = true;
  return RunProgram(args, options);
}

}  // namespace mgmt::test
