#include "bmcconf_fixture.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "bmcpaths.h"

namespace bmcconftest {

namespace fs = std::filesystem;

const char* const kIpmiConf =
    "; site notes: keep me\n"
    "[IPMIConfig]\n"
    "BMCSendEvent=1 \n"
    "ShutdownifTempHigh=1 \n"
    "\n"
    "[Watchdog]\n"
    "AsrEnabled=0 \n"
    "AsrTimer=300 \n"
    "m_asraction=1 \n"
    "\n"
    "[UserInfo_1]\n"
    "UserName=admin\n"
    "\n"
    "[RMCPConfig]\n"
    "RMCPSupporting=RMCP+\n"
    "RmtAdminSupport=NONE\n"
    "AvailableRMCPs=RMCP RMCP+\n"
    "\n"
    "[Target_1]\n"
    "IP=10.1.1.1\n"
    "MAC=00a0cc000101\n"
    "\n"
    "[Target_2]\n"
    "IP=\n"
    "MAC=\n"
    "\n"
    "[Target_3]\n"
    "IP=10.1.1.3\n"
    "MAC=00a0cc000103\n"
    "\n"
    "[Local]\n"
    "Note=someone else's\n";

namespace {

std::string Channel(int n, const std::string& ip, const std::string& mac, int present,
                    const std::string& rmcp = "false") {
  return "[Channel_" + std::to_string(n) + "]\nIPSource=1 \nIpSourceCap=2 \nIP=" + ip +
         "\nMAC=" + mac +
         "\nNetmask=255.255.255.0\nGatewayIP=192.168.0.1\nGatewayMAC=00a0cc000001\n"
         "NumTargets=4 \nIsChannel=" +
         std::to_string(present) + " \nSupportRmcp+=" + rmcp + "\n\n";
}

const std::string kChannels =
    "; channels as the BMC reported them\n" +
    Channel(1, "192.168.0.120", "00a0cc1b2c3d", 1, "true") +
    Channel(2, "192.168.0.121", "00a0cc1b2c3e", 0) +
    Channel(3, "192.168.0.123", "00a0cc1b2c40", 1) + Channel(7, "0.0.0.0", "FFFFFFFFFFFF", 1) +
    Channel(4, "192.168.0.124", "00a0cc1b2c41", 1) +
    Channel(5, "192.168.0.125", "00a0cc1b2c42", 1) + Channel(6, "192.168.0.126", "00a0cc1b2c43", 1);

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) out.push_back(part);
  if (!text.empty() && text.back() == separator) out.push_back("");
  return out;
}

}  // namespace

const char* const kChannelConf = kChannels.c_str();

ConfRoot::ConfRoot(const std::string& platform) : root_("bmcconf-root") {
  root_.Write("usr/local/share/mgmtagent/smbdrv/smbiosinfo",
              "#!/bin/sh\n[ \"$1\" = -t ] && printf '%s\\n' '" + platform + "'\nexit 0\n");
  fs::permissions(root_ / "usr/local/share/mgmtagent/smbdrv/smbiosinfo",
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  const fs::path setup = root_ / fs::path(mgmt::bmc::kBmcSetupPath).relative_path();
  fs::create_directories(setup.parent_path());
  fs::create_symlink(BMCSETUP_RECORDER_PATH, setup);
  fs::create_directories(Conf(""));
}

fs::path ConfRoot::Conf(const std::string& name) const {
  return root_ / fs::path(mgmt::bmc::kConfigDir).relative_path() / name;
}

void ConfRoot::Write(const std::string& name, const std::string& text) const {
  mgmt::test::WriteFile(Conf(name), text);
}

std::string ConfRoot::Read(const std::string& name) const {
  return mgmt::test::ReadFile(Conf(name));
}

std::vector<SetupCall> ConfRoot::Calls() const {
  std::vector<SetupCall> calls;
  if (!root_.Exists("bmcsetup.calls")) return calls;
  std::istringstream lines(root_.Read("bmcsetup.calls"));
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> fields = Split(line, '\t');
    if (fields.size() != 6) continue;
    SetupCall call;
    call.args = fields[0].empty() ? std::vector<std::string>{} : Split(fields[0], '\x1f');
    call.input = fields[1];
    call.fds = fields[2];
    call.sid = std::stol(fields[3]);
    call.ppid = std::stol(fields[4]);
    call.pid = std::stol(fields[5]);
    calls.push_back(call);
  }
  return calls;
}

std::vector<SetupCall> ConfRoot::WaitForCalls(size_t count) const {
  // bmcsetup runs detached: its record appears shortly after the request ended.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<SetupCall> calls = Calls();
  while (calls.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    calls = Calls();
  }
  return calls;
}

void ConfRoot::RemoveBmcSetup() const {
  fs::remove(root_ / fs::path(mgmt::bmc::kBmcSetupPath).relative_path());
}

}  // namespace bmcconftest
