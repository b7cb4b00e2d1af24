// bmcsetup and the watchdog loop against the simulated BMC (ipmi_sim through
// imbd), checked from outside with ipmitool and FreeIPMI's ipmi-config over the
// simulator's LAN port. One simulator for the whole program; the tests run in
// order and build on each other's BMC state.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <regex>
#include <thread>

#include "bmcpaths.h"
#include "conflock.h"
#include "support/cim_server.h"
#include "support/process.h"
#include "support/sim_bmc.h"
#include "support/stand_ins.h"
#include "support/temp_dir.h"

using mgmt::test::ReadFile;
using mgmt::test::RunProgram;
using mgmt::test::RunResult;
using mgmt::test::SimulatedBmc;
using mgmt::test::WriteFile;
using namespace std::chrono_literals;

namespace {

SimulatedBmc* gBmc = nullptr;
// The LAN login that works now; the user test renames the user.
std::string gUser = "admin";
std::string gPassword = "password";

class BmcSetupOnSimulator : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gBmc = new SimulatedBmc(IMBD_PATH); }
  static void TearDownTestSuite() {
    delete gBmc;
    gBmc = nullptr;
  }

  static std::string Conf(const char* path) { return gBmc->Root() + path; }

  static RunResult BmcSetup(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), BMCSETUP_PATH);
    mgmt::test::RunOptions options;
    options.input = input;
    options.timeout = 120s;
    options.env.changes = {"MGMTAGENT_ROOT=" + gBmc->Root()};
    return RunProgram(args, options);
  }

  static RunResult Ipmitool(const std::string& user, const std::string& password,
                            const std::vector<std::string>& command) {
    return gBmc->Ipmitool(user, password, command);
  }
};

}  // namespace

TEST_F(BmcSetupOnSimulator, InitFillsTheChannelFileFromTheBmc) {
  std::filesystem::create_directories(Conf(mgmt::bmc::kConfigDir));
  const RunResult r = BmcSetup({"-i"});
  ASSERT_TRUE(r.Ok()) << r.err;
  const std::string channels = ReadFile(Conf(mgmt::bmc::kBmcChannelConfPath));
  EXPECT_NE(channels.find("[Channel_1]\nIPSource=1 \n"), std::string::npos) << channels;
  EXPECT_NE(channels.find("IP=192.0.2.10\nMAC=020000000020\nNetmask=255.255.255.0\n"
                          "GatewayIP=192.0.2.1\n"),
            std::string::npos)
      << channels;
  EXPECT_NE(channels.find("IsChannel=1 \n"), std::string::npos);
  const std::string ipmi = ReadFile(Conf(mgmt::bmc::kIpmiConfPath));
  EXPECT_NE(ipmi.find("[Watchdog]\nAsrEnabled=0 \n"), std::string::npos) << ipmi;
}

TEST_F(BmcSetupOnSimulator, AChannelAppliedShowsInIpmitoolAndIpmiConfig) {
  WriteFile(Conf(mgmt::bmc::kBmcChannelConfPath),
            "[Channel_1]\nIPSource=1 \nIP=192.0.2.77\nMAC=020000000020\nNetmask=255.255.0.0\n"
            "GatewayIP=192.0.2.254\nGatewayMAC=02:00:00:00:00:fe\nIsChannel=1 \n");
  const RunResult r = BmcSetup({"-c", "1"});
  ASSERT_TRUE(r.Ok()) << r.err;

  const RunResult lan = Ipmitool("admin", "password", {"lan", "print", "1"});
  ASSERT_TRUE(lan.Ok()) << lan.out;
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("IP Address Source *: Static Address")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("IP Address *: 192\\.0\\.2\\.77")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Subnet Mask *: 255\\.255\\.0\\.0")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Default Gateway IP *: 192\\.0\\.2\\.254")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Default Gateway MAC *: 02:00:00:00:00:fe")));

  mgmt::test::RunOptions options;
  options.timeout = 60s;
  const RunResult config = RunProgram({"ipmi-config", "--checkout", "-S", "Lan_Conf", "-h",
                                       "127.0.0.1:" + std::to_string(gBmc->LanPort()), "-u",
                                       "admin", "-p", "password", "-D", "LAN", "-l", "ADMIN"},
                                      options);
  ASSERT_TRUE(config.Ok()) << config.err;
  EXPECT_TRUE(std::regex_search(config.out, std::regex("IP_Address_Source\\s+Static")));
  EXPECT_TRUE(std::regex_search(config.out, std::regex("\\bIP_Address\\s+192\\.0\\.2\\.77")));
  EXPECT_TRUE(std::regex_search(config.out, std::regex("Subnet_Mask\\s+255\\.255\\.0\\.0")));

  // Alerting on, authentication as the BMC had it.
  const RunResult info = Ipmitool("admin", "password", {"channel", "info", "1"});
  EXPECT_TRUE(
      std::regex_search(info.out, std::regex("Non-Volatile Settings\\s+Alerting\\s+: enabled")))
      << info.out;
  EXPECT_TRUE(std::regex_search(info.out, std::regex("User Level Auth\\s+: enabled")));

  // An invalid address never reaches the BMC.
  WriteFile(Conf(mgmt::bmc::kBmcChannelConfPath),
            "[Channel_1]\nIPSource=1 \nIP=192.0.2\nNetmask=255.255.0.0\nIsChannel=1 \n");
  EXPECT_EQ(BmcSetup({"-c", "1"}).status, 1);
  EXPECT_TRUE(std::regex_search(Ipmitool("admin", "password", {"lan", "print", "1"}).out,
                                std::regex("IP Address *: 192\\.0\\.2\\.77")));
}

TEST_F(BmcSetupOnSimulator, UserNameAndPasswordForLanLogins) {
  // The password travels on standard input.
  RunResult r = BmcSetup({"-g", "-n", "ops", "-p", "-"}, "n3wpass\n");
  ASSERT_TRUE(r.Ok()) << r.err;
  EXPECT_TRUE(Ipmitool("ops", "n3wpass", {"mc", "info"}).Ok());
  EXPECT_FALSE(Ipmitool("admin", "password", {"mc", "info"}).Ok());

  // An empty password argument leaves the password alone.
  r = BmcSetup({"-g", "-p", "", "-n", "ops2"});
  ASSERT_TRUE(r.Ok()) << r.err;
  EXPECT_TRUE(Ipmitool("ops2", "n3wpass", {"mc", "info"}).Ok());
  gUser = "ops2";
  gPassword = "n3wpass";
}

TEST_F(BmcSetupOnSimulator, AUserNameIsDataNeverACommand) {
  mgmt::test::StandInCommands commands({"id"});
  const RunResult r = BmcSetup({"-g", "-p", "-n", "x;id"});
  ASSERT_TRUE(r.Ok()) << r.err;
  EXPECT_TRUE(commands.Calls("id").empty());
  const RunResult users = Ipmitool("x;id", gPassword, {"user", "list", "1"});
  ASSERT_TRUE(users.Ok()) << users.out;
  gUser = "x;id";
  EXPECT_TRUE(std::regex_search(users.out, std::regex("\\n2\\s+x;id\\s")));
}

TEST_F(BmcSetupOnSimulator, SyncGivesTheBmcTheAddressOfTheHostPortItShares) {
  // The object manager lists a host adapter with the BMC's MAC; the kernel's
  // files (under the installation root) give its netmask and the gateway.
  mgmt::test::CimServerOptions cimOptions;
  cimOptions.localSocket = true;
  mgmt::test::CimServer cim(cimOptions);
  const std::string ifaddrs =
      "2: eth9    inet 10.20.30.40/16 brd 10.20.255.255 scope global eth9\n";
  // Before it: a loopback adapter with an all-zero MAC and one without a MAC,
  // which must neither match nor end the walk.
  WriteFile(cim.Root() / "sys/class/net/lo/address", "00:00:00:00:00:00\n");
  WriteFile(cim.Root() / "sys/class/net/lo/ifindex", "1\n");
  WriteFile(cim.Root() / "sys/class/net/tun0/address", "\n");
  WriteFile(cim.Root() / "sys/class/net/tun0/ifindex", "2\n");
  WriteFile(cim.Root() / "sys/class/net/eth9/address", "02:00:00:00:00:20\n");
  WriteFile(cim.Root() / "sys/class/net/eth9/ifindex", "3\n");
  WriteFile(cim.Root() / "run/mgmtagent/ifaddrs", ifaddrs);
  WriteFile(Conf("/run/mgmtagent/ifaddrs"), ifaddrs);
  WriteFile(Conf("/proc/net/route"),
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
            "eth9\t00000000\t0100140A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
  WriteFile(Conf("/proc/net/arp"),
            "IP address       HW type     Flags       HW address            Mask     Device\n"
            "10.20.0.1        0x1         0x2         02:00:00:00:00:01     *        eth9\n");
  WriteFile(Conf(mgmt::bmc::kBmcChannelConfPath),
            "[Channel_1]\nIPSource=3 \nIP=192.0.2.77\nMAC=020000000020\nIsChannel=1 \n");

  mgmt::test::RunOptions options;
  options.timeout = 60s;
  options.env.changes = {"MGMTAGENT_ROOT=" + gBmc->Root(),
                         "MGMT_CIMXML_SOCKET=" + cim.LocalSocket().string()};
  const RunResult r = RunProgram({BMCSETUP_PATH, "-s"}, options);
  ASSERT_TRUE(r.Ok()) << r.err;

  const RunResult lan = Ipmitool(gUser, gPassword, {"lan", "print", "1"});
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("IP Address *: 10\\.20\\.30\\.40"))) << lan.out;
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Subnet Mask *: 255\\.255\\.0\\.0")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Default Gateway IP *: 10\\.20\\.0\\.1")));
  EXPECT_TRUE(std::regex_search(lan.out, std::regex("Default Gateway MAC *: 02:00:00:00:00:01")));
  const std::string channels = ReadFile(Conf(mgmt::bmc::kBmcChannelConfPath));
  EXPECT_NE(channels.find("IP=10.20.30.40\n"), std::string::npos) << channels;
  EXPECT_NE(channels.find("GatewayMAC=020000000001\n"), std::string::npos) << channels;

  // -i now sees that the BMC shares a host port.
  const RunResult init = RunProgram({BMCSETUP_PATH, "-i"}, options);
  ASSERT_TRUE(init.Ok()) << init.err;
  EXPECT_NE(ReadFile(Conf(mgmt::bmc::kBmcChannelConfPath)).find("IpSourceCap=2 \n"),
            std::string::npos);
}

// Runs before the ASR test: the simulator's Reset Watchdog Timer does not
// restart a countdown that is already running, so a countdown left behind by
// the ASR test would keep this short one from starting.
namespace {

// Whether process `pid` has `file` open (bmcsetup opens the lock file, then
// tries the lock until it is free).
bool HasOpen(pid_t pid, const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path(), unreadable) == file) return true;
  }
  return false;
}

}  // namespace

TEST_F(BmcSetupOnSimulator, SyncReadsTheChannelsAgainOnceItHoldsTheLock) {
  // A channel that followed the host when -s looked is set to a static
  // address while -s discovers the host (the provider does that under the
  // lock): -s must not put the host's address back over it.
  mgmt::test::CimServerOptions cimOptions;
  cimOptions.localSocket = true;
  mgmt::test::CimServer cim(cimOptions);
  WriteFile(cim.Root() / "sys/class/net/eth9/address", "02:00:00:00:00:20\n");
  WriteFile(cim.Root() / "sys/class/net/eth9/ifindex", "3\n");
  WriteFile(cim.Root() / "run/mgmtagent/ifaddrs",
            "2: eth9    inet 10.20.30.41/16 brd 10.20.255.255 scope global eth9\n");
  WriteFile(Conf("/run/mgmtagent/ifaddrs"),
            "2: eth9    inet 10.20.30.41/16 brd 10.20.255.255 scope global eth9\n");
  WriteFile(Conf(mgmt::bmc::kBmcChannelConfPath),
            "[Channel_1]\nIPSource=3 \nIP=10.20.30.40\nMAC=020000000020\nIsChannel=1 \n");
  const std::string staticChannel =
      "[Channel_1]\nIPSource=1 \nIP=192.0.2.88\nMAC=020000000020\nNetmask=255.255.255.0\n"
      "IsChannel=1 \n";

  std::optional<mgmt::test::ChildProcess> sync;
  {
    mgmt::test::ScopedRoot root(gBmc->Root());
    std::optional<mgmt::bmc::ConfigLock> lock = mgmt::bmc::ConfigLock::Acquire(0ms);
    ASSERT_TRUE(lock.has_value());
    const std::filesystem::path lockFile =
        std::filesystem::canonical(Conf(mgmt::bmc::kConfigLockPath));

    mgmt::test::SpawnOptions options;
    options.env.changes = {"MGMTAGENT_ROOT=" + gBmc->Root(),
                           "MGMT_CIMXML_SOCKET=" + cim.LocalSocket().string()};
    sync.emplace(std::vector<std::string>{BMCSETUP_PATH, "-s"}, options);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!HasOpen(sync->Pid(), lockFile) && sync->Running() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(HasOpen(sync->Pid(), lockFile)) << "bmcsetup -s never waited";
    WriteFile(Conf(mgmt::bmc::kBmcChannelConfPath), staticChannel);
  }
  EXPECT_EQ(sync->Wait(60s), std::optional<int>(0));
  EXPECT_EQ(ReadFile(Conf(mgmt::bmc::kBmcChannelConfPath)), staticChannel);
  const RunResult lan = Ipmitool(gUser, gPassword, {"lan", "print", "1"});
  EXPECT_FALSE(std::regex_search(lan.out, std::regex("IP Address *: 10\\.20\\.30\\.41")))
      << lan.out;
}

TEST_F(BmcSetupOnSimulator, AnExpiredWatchdogIsLoggedAndResetsTheHost) {
  // 2 seconds, hard reset, logging on; then started.
  ASSERT_TRUE(Ipmitool(gUser, gPassword,
                       {"raw", "0x06", "0x24", "0x04", "0x01", "0x00", "0x10", "0x14", "0x00"})
                  .Ok());
  ASSERT_TRUE(Ipmitool(gUser, gPassword, {"raw", "0x06", "0x22"}).Ok());
  const std::string imbdLog = gBmc->Root() + "/run/bmcsim/imbd.log";
  const auto start = std::chrono::steady_clock::now();
  while (ReadFile(imbdLog).find("BMC requests host reset") == std::string::npos &&
         std::chrono::steady_clock::now() - start < 15s)
    std::this_thread::sleep_for(200ms);
  EXPECT_NE(ReadFile(imbdLog).find("BMC requests host reset"), std::string::npos);
  const RunResult sel = Ipmitool(gUser, gPassword, {"sel", "list"});
  EXPECT_TRUE(std::regex_search(sel.out, std::regex("Watchdog2 \\| Hard reset \\| Asserted")))
      << sel.out;
}

TEST_F(BmcSetupOnSimulator, AsrInIpmiConfArmsTheWatchdogAndStoppingDisarmsIt) {
  WriteFile(Conf(mgmt::bmc::kIpmiConfPath),
            "[Watchdog]\nAsrEnabled=0 \nAsrTimer=300 \nm_asraction=1 \n");
  mgmt::test::SpawnOptions options;
  options.env.changes = {"MGMTAGENT_ROOT=" + gBmc->Root()};
  mgmt::test::ChildProcess loop({ASR_DRIVER_PATH}, options);

  WriteFile(Conf(mgmt::bmc::kIpmiConfPath),
            "[Watchdog]\nAsrEnabled=1 \nAsrTimer=300 \nm_asraction=1 \n");
  const auto changed = std::chrono::steady_clock::now();
  bool armed = false;
  std::string seen;
  // One cycle every 10 seconds, plus the cycle's own requests and the look over
  // LAN, which take a few seconds on a busy machine.
  while (!armed && std::chrono::steady_clock::now() - changed < 13s) {
    seen = Ipmitool(gUser, gPassword, {"mc", "watchdog", "get"}).out;
    // The simulator does not report the running bit; the programmed timer shows.
    armed = std::regex_search(seen, std::regex("Watchdog Timer Action:\\s+Hard Reset")) &&
            std::regex_search(seen, std::regex("Initial Countdown:\\s+300(\\.0)? sec"));
    if (!armed) std::this_thread::sleep_for(500ms);
  }
  EXPECT_TRUE(armed) << seen;

  EXPECT_EQ(loop.Stop(SIGTERM, 15s), 0);
  seen = Ipmitool(gUser, gPassword, {"mc", "watchdog", "get"}).out;
  EXPECT_TRUE(std::regex_search(seen, std::regex("Watchdog Timer Action:\\s+No action"))) << seen;
  EXPECT_TRUE(std::regex_search(seen, std::regex("Initial Countdown:\\s+0(\\.0)? sec"))) << seen;
}
