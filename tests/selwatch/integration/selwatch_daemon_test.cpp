// The real daemon, end to end: SEL events of the simulated BMC arrive at
// snmptrapd as Platform Event Traps that FreeIPMI's ipmi-pet decodes.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <thread>

#include "daemon_harness.h"

using namespace selwatch_it;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// The three events the simulated BMC's profile starts with, as trap numbers.
constexpr long kProfileTraps[] = {0x010109, 0x040102, 0x020107};

/// CPU1 Temp (sensor 0x01) upper critical going high, reading `reading`.
Bytes CpuTempCritical(uint8_t reading = 0x5A) {
  return {0, 0, 0, 0, 0x20, 0x00, 0x04, 0x01, 0x01, 0x01, 0x59, reading, 0x55};
}

/// Fan 1 RPM (sensor 0x10) lower critical going low, reading `reading`.
Bytes FanLow(uint8_t reading) {
  return {0, 0, 0, 0, 0x20, 0x00, 0x04, 0x04, 0x10, 0x01, 0x52, reading, 0x0A};
}

void ExpectProfileTraps(DaemonHarness& run) {
  for (const long specific : kProfileTraps) {
    const auto trap = run.NextTrap();
    ASSERT_TRUE(trap.has_value()) << run.DaemonLog();
    EXPECT_EQ(trap->specific, specific);
  }
}

/// The next trap must be the Fan 1 event with this reading (nothing else, such
/// as a repeated old record, came before it).
void ExpectFanTrap(DaemonHarness& run, uint8_t reading) {
  const auto trap = run.NextTrap();
  ASSERT_TRUE(trap.has_value()) << run.DaemonLog();
  EXPECT_EQ(trap->specific, 0x040102);
  ASSERT_GE(trap->block.size(), 47u);
  EXPECT_EQ(trap->block[28], 0x10);     // sensor number
  EXPECT_EQ(trap->block[32], reading);  // event data 2
}

/// Waits until the simulated BMC's SEL is empty: the daemon clears it after
/// sending the traps of what it read, so the last trap can come before the clear.
bool WaitForEmptySel(DaemonHarness& run) {
  const std::regex noEntries(R"(Entries\s*:\s*0\b)");
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    const auto info = run.Ipmitool({"sel", "info"});
    if (info.Ok() && std::regex_search(info.out, noEntries)) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

}  // namespace

TEST(SelwatchDaemon, AnAddedEventArrivesAsOneDecodedTrapAndNothingIsReportedTwice) {
  DaemonHarness run;
  run.StartDaemon();
  ExpectProfileTraps(run);

  ASSERT_GT(run.AddEvent(CpuTempCritical()), 0);
  run.PollNow();
  const auto trap = run.NextTrap();
  ASSERT_TRUE(trap.has_value()) << run.DaemonLog();
  EXPECT_EQ(trap->generic, 6);
  EXPECT_EQ(trap->specific, 65801);
  EXPECT_EQ(trap->enterprise, "MGMTAGENT-PET-MIB::petTrapEnterprise");
  EXPECT_NE(trap->security.find("community tarpon"), std::string::npos) << trap->security;
  EXPECT_EQ(trap->variable, "MGMTAGENT-PET-MIB::petEventBlock");
  const Bytes tail = {
      0x10, 0x20, 0x10, 0x20, 0x01, 0x03, 0x01,     // sources, severity, sensor, entity
      0x59, 0x5A, 0x55, 0,    0,    0,    0,    0,  // event data
      0x19, 0x00, 0x00, 0x7E, 0xD9, 0x00, 0x00,     // language, manufacturer, system
      0xCA, 'C',  'P',  'U',  '1',  ' ',  'T',  'e', 'm', 'p', 0x00, 0xC1};
  ASSERT_EQ(trap->block.size(), 24 + tail.size());
  EXPECT_EQ(Bytes(trap->block.begin() + 24, trap->block.end()), tail);

  const std::string decoded = run.Decode(*trap);
  EXPECT_NE(decoded.find("CPU1 Temp"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Critical"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Assertion Event"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Upper Critical - going high"), std::string::npos) << decoded;

  // A restart continues after the last record reported (event.idx).
  EXPECT_EQ(run.StopDaemon(), 0);
  run.StartDaemon();
  ASSERT_GT(run.AddEvent(FanLow(0x05)), 0);
  run.PollNow();
  ExpectFanTrap(run, 0x05);

  // After a clear of the SEL, a new event is one trap.
  const auto cleared = run.Ipmitool({"sel", "clear"});
  ASSERT_TRUE(cleared.Ok()) << cleared.err;
  ASSERT_GT(run.AddEvent(FanLow(0x06)), 0);
  run.PollNow();
  ExpectFanTrap(run, 0x06);
  ASSERT_GT(run.AddEvent(FanLow(0x07)), 0);
  run.PollNow();
  ExpectFanTrap(run, 0x07);
  EXPECT_EQ(run.StopDaemon(SIGINT), 0);
}

TEST(SelwatchDaemon, AFullSelIsReadThenClearedAndLosesNothing) {
  DaemonHarness run;
  // Room for 8 records: with the profile's 3, free space drops below 80 bytes
  // (5 records) as soon as a fourth is logged.
  run.Bmc().Command("sel_enable 0x20 8 0x0a");
  run.StartDaemon();
  ExpectProfileTraps(run);
  uint8_t reading = 1;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 5; ++i) ASSERT_GT(run.AddEvent(FanLow(reading + i)), 0) << round;
    run.PollNow();
    for (int i = 0; i < 5; ++i) ExpectFanTrap(run, static_cast<uint8_t>(reading + i));
    ASSERT_TRUE(WaitForEmptySel(run)) << round << run.DaemonLog();
    reading = static_cast<uint8_t>(reading + 5);
  }
}

TEST(SelwatchDaemon, CriticalOverTemperaturePowersOffButNotFromTheFirstPoll) {
  DaemonHarness run({.shutdownIfTempHigh = true});
  run.StartDaemon();
  ExpectProfileTraps(run);  // the first one is a critical over-temperature event
  EXPECT_TRUE(run.StandIns().Calls("poweroff").empty());

  ASSERT_GT(run.AddEvent(CpuTempCritical()), 0);
  run.PollNow();
  ASSERT_TRUE(run.NextTrap().has_value());
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (run.StandIns().Calls("poweroff").empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  const auto wall = run.StandIns().Calls("wall");
  ASSERT_EQ(wall.size(), 1u);
  EXPECT_EQ(wall[0], std::vector<std::string>{"Temperature is too high, shutting down ... "});
  EXPECT_EQ(run.StandIns().Calls("poweroff").size(), 1u);
}

TEST(SelwatchDaemon, ThePluginNamesTheSensorInTheTrap) {
  DaemonHarness run({.plugin = true});
  run.StartDaemon();
  const auto trap = run.NextTrap();
  ASSERT_TRUE(trap.has_value()) << run.DaemonLog();
  const std::string name = "OEM CPU1 Temp";
  ASSERT_EQ(trap->block.size(), 46 + 1 + name.size() + 1 + 1);
  EXPECT_EQ(trap->block[46], 0xC0 | (name.size() + 1));
  EXPECT_EQ(std::string(trap->block.begin() + 47, trap->block.begin() + 47 + name.size()), name);
}

TEST(SelwatchDaemon, TermOrIntStopsItWithStatusZero) {
  for (const int signal : {SIGTERM, SIGINT}) {
    DaemonHarness run;
    run.StartDaemon();
    ASSERT_TRUE(run.NextTrap().has_value()) << run.DaemonLog();
    // The workers leave within about a second; the exit lingers up to 10
    // seconds unless another signal comes.
    const auto start = std::chrono::steady_clock::now();
    kill(run.Daemon().Pid(), signal);
    const auto status = run.Daemon().Wait(15s);
    ASSERT_TRUE(status.has_value()) << "still running 15 s after the signal";
    EXPECT_EQ(*status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 13s);
    EXPECT_NE(run.DaemonLog().find("stopped"), std::string::npos);
  }
}
