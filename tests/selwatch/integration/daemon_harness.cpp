#include "daemon_harness.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/net.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using mgmt::test::ChildProcess;
using mgmt::test::Output;
using mgmt::test::SpawnOptions;

namespace selwatch_it {
namespace {

constexpr const char* kShare = "/usr/local/share/mgmtagent";

/// The first executable `name` in PATH.
fs::path Which(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::vector<uint8_t> HexBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    if (word.size() == 2 && isxdigit(word[0]) && isxdigit(word[1]))
      bytes.push_back(static_cast<uint8_t>(std::stoi(word, nullptr, 16)));
  }
  return bytes;
}

}  // namespace

DaemonHarness::DaemonHarness(const DaemonOptions& options) : bmc_(IMBD_PATH) {
  const fs::path root = bmc_.Root();
  address_ = mgmt::test::UnusedLoopbackAddress(162);
  mgmt::test::WriteFile(root / "usr/local/share/mgmtagent/agentconf/trap.conf",
                        "trapsink " + address_ + "\n");
  mgmt::test::WriteFile(
      root / "usr/local/share/mgmtagent/hmon/hmconfig/ipmi.conf",
      std::string("[IPMIConfig]\nBMCSendEvent=") + (options.bmcSendEvent ? "1" : "0") +
          " \nShutdownifTempHigh=" + (options.shutdownIfTempHigh ? "1" : "0") + " \n\n");
  std::string module = "# no plug-in\n";
  if (options.plugin) {
    const fs::path lib = root / "usr/local/lib/mgmtagent";
    fs::create_directories(lib);
    chmod(lib.c_str(), 0755);
    fs::copy_file(OEMTEST_PLUGIN, lib / "liboemtest.so");
    module = "LIBRARY: oemtest /usr/local/lib/mgmtagent/liboemtest.so\n";
  }
  mgmt::test::WriteFile(root / "usr/local/share/mgmtagent/hmon/hmconfig/SELWATCHModule.conf",
                        module);
  fs::create_directories(root / "usr/local/share/mgmtagent/mibs");
  fs::copy_file(mgmt::test::SourcePath("etc/selwatch/MGMTAGENT-PET-MIB.txt"),
                root / "usr/local/share/mgmtagent/mibs/MGMTAGENT-PET-MIB.txt");
  fs::create_directories(root / "bin");
  fs::create_symlink("/bin/date", root / "bin/date");

  // snmptrapd prints each trap as one record ending in "|END" (a long octet
  // string spans lines).
  const fs::path conf = work_.Write("snmptrapd.conf", "authCommunity log tarpon\n");
  SpawnOptions spawn;
  spawn.out = Output::Pipe();
  spawn.err = Output::File(work_ / "snmptrapd.err");
  trapd_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"snmptrapd", "-f", "-Lo", "-C", "-c", conf.string(), "-n", "-M",
                               (root / "usr/local/share/mgmtagent/mibs").string(), "-m",
                               "MGMTAGENT-PET-MIB", "-F", "TRAP|%w|%q|%N|%P|%v|END\n",
                               "udp:" + address_ + ":162"},
      spawn);
  // Ready once it says so.
  for (;;) {
    const auto line = trapd_->ReadLine(10s);
    if (!line) throw std::runtime_error("snmptrapd did not start");
    if (line->find("NET-SNMP version") != std::string::npos) break;
  }
}

DaemonHarness::~DaemonHarness() {
  if (daemon_) StopDaemon();
}

void DaemonHarness::StartDaemon() {
  // The real commands are never reached: both must resolve to the stand-ins.
  for (const char* name : {"wall", "poweroff"}) {
    if (Which(name).parent_path() != standIns_.Dir())
      throw std::runtime_error(std::string(name) + " does not resolve to its stand-in");
  }
  SpawnOptions spawn;
  spawn.err = Output::File(work_ / "selwatch.err");
  spawn.cwd = work_.Path();
  spawn.env.changes = {"MGMTAGENT_ROOT=" + bmc_.Root(), "PATH=" + standIns_.PathValue()};
  daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{SELWATCH_PATH}, spawn);
}

int DaemonHarness::StopDaemon(int signal) {
  if (!daemon_) return -1;
  std::optional<int> status;
  for (int i = 0; i < 20 && !status; ++i) {
    if (daemon_->Running()) kill(daemon_->Pid(), signal);
    status = daemon_->Wait(1s);
  }
  const int result = status.value_or(-1);
  daemon_.reset();
  return result;
}

void DaemonHarness::PollNow() {
  if (daemon_) kill(daemon_->Pid(), SIGUSR1);
}

std::optional<Trap> DaemonHarness::NextTrap(std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string record;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const auto line = trapd_->ReadLine(std::max(left, 1ms));
    if (!line) return std::nullopt;
    if (record.empty() && !line->starts_with("TRAP|")) continue;
    record += *line + "\n";
    if (!line->ends_with("|END")) continue;
    // TRAP|generic|specific|enterprise|security|variables|END
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(record);
    while (std::getline(in, field, '|')) fields.push_back(field);
    if (fields.size() < 7) return std::nullopt;
    Trap trap;
    trap.generic = std::stol(fields[1]);
    // snmptrapd writes the specific number as a sub-identifier (".65801").
    trap.specific = std::stol(fields[2].substr(fields[2].find_first_not_of('.')));
    trap.enterprise = fields[3];
    trap.security = fields[4];
    const std::string& vars = fields[5];
    const auto eq = vars.find(" = ");
    trap.variable = vars.substr(0, eq);
    const auto colon = vars.find("STRING:", eq);
    if (colon != std::string::npos) trap.block = HexBytes(vars.substr(colon + 7));
    return trap;
  }
  return std::nullopt;
}

int DaemonHarness::AddEvent(const std::vector<uint8_t>& thirteenBytes) {
  return bmc_.AddSelEvent(thirteenBytes);
}

std::string DaemonHarness::Decode(const Trap& trap) {
  std::vector<std::string> argv = {"ipmi-pet", "-D", "LAN_2_0", "-h",
                                   "127.0.0.1:" + std::to_string(bmc_.LanPort()), "-u", "admin",
                                   "-p", "password", "-I", "3",
                                   // ipmi_sim grants the privilege only as the session is opened.
                                   "-W", "opensesspriv", "--quiet-cache",
                                   "--sdr-cache-directory=" + (work_ / "sdr-cache").string(),
                                   "--output-event-severity", "-v", std::to_string(trap.specific)};
  char hex[4];
  for (const uint8_t b : trap.block) {
    std::snprintf(hex, sizeof(hex), "%02X", b);
    argv.push_back(hex);
  }
  fs::create_directories(work_ / "sdr-cache");
  chmod((work_ / "sdr-cache").c_str(), 0700);
  mgmt::test::RunOptions options;
  options.mergeStderr = true;
  options.timeout = 60s;
  return mgmt::test::RunProgram(argv, options).out;
}

mgmt::test::RunResult DaemonHarness::Ipmitool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"ipmitool",  "-I",    "lanplus",
                                   "-C",        "3",     "-H",
                                   "127.0.0.1", "-p",    std::to_string(bmc_.LanPort()),
                                   "-U",        "admin", "-P",
                                   "password"};
  argv.insert(argv.end(), args.begin(), args.end());
  mgmt::test::RunOptions options;
  options.timeout = 60s;
  return mgmt::test::RunProgram(argv, options);
}

std::string DaemonHarness::DaemonLog() const { return work_.Read("selwatch.err"); }

}  // namespace selwatch_it
