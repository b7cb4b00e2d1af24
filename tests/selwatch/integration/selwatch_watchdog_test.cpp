// The real daemon keeps the simulated BMC's watchdog as ipmi.conf says:
// armed within one watchdog cycle of the change, disarmed when it stops.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <thread>

#include "daemon_harness.h"

using namespace selwatch_it;
using namespace std::chrono_literals;

namespace {

bool Armed(const std::string& get) {
  return std::regex_search(get, std::regex("Watchdog Timer Action:\\s+Hard Reset")) &&
         std::regex_search(get, std::regex("Initial Countdown:\\s+300(\\.0)? sec"));
}

}  // namespace

TEST(SelwatchWatchdog, AsrInIpmiConfArmsTheWatchdogAndSigtermLeavesItDisarmed) {
  DaemonHarness run;
  run.StartDaemon();
  ASSERT_TRUE(run.NextTrap().has_value()) << run.DaemonLog();  // running

  const std::string ipmiConf =
      run.Bmc().Root() + "/usr/local/share/mgmtagent/hmon/hmconfig/ipmi.conf";
  mgmt::test::WriteFile(ipmiConf,
                        "[IPMIConfig]\nBMCSendEvent=0 \nShutdownifTempHigh=0 \n\n"
                        "[Watchdog]\nAsrEnabled=1 \nAsrTimer=300 \nm_asraction=1 \n\n");
  const auto changed = std::chrono::steady_clock::now();
  std::string get;
  bool armed = false;
  // One cycle every 10 seconds; a second more for the look over LAN itself.
  while (!armed && std::chrono::steady_clock::now() - changed < 11s) {
    get = run.Ipmitool({"mc", "watchdog", "get"}).out;
    armed = Armed(get);
    if (!armed) std::this_thread::sleep_for(500ms);
  }
  EXPECT_TRUE(armed) << get << run.DaemonLog();

  EXPECT_EQ(run.StopDaemon(SIGTERM), 0);
  get = run.Ipmitool({"mc", "watchdog", "get"}).out;
  EXPECT_TRUE(std::regex_search(get, std::regex("Watchdog Timer Action:\\s+No action"))) << get;
  EXPECT_TRUE(std::regex_search(get, std::regex("Initial Countdown:\\s+0(\\.0)? sec"))) << get;
}
