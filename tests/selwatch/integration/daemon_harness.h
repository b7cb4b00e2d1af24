// The real selwatch against the simulated BMC (ipmi_sim through imbd), with
// snmptrapd receiving its traps on a loopback address of the test's own and
// recording stand-ins for wall and poweroff first in PATH.
#ifndef MGMT_TESTS_SELWATCH_DAEMON_HARNESS_H
#define MGMT_TESTS_SELWATCH_DAEMON_HARNESS_H

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/sim_bmc.h"
#include "support/stand_ins.h"
#include "support/temp_dir.h"

namespace selwatch_it {

/// One trap as snmptrapd printed it.
struct Trap {
  long generic = -1;
  long specific = -1;
  std::string enterprise;
  std::string security;  ///< e.g. "TRAP, SNMP v1, community tarpon"
  std::string variable;  ///< the variable's name
  std::vector<uint8_t> block;
};

struct DaemonOptions {
  bool shutdownIfTempHigh = false;
  bool bmcSendEvent = false;
  bool plugin = false;  ///< the test plug-in, named in SELWATCHModule.conf
};

class DaemonHarness {
 public:
  explicit DaemonHarness(const DaemonOptions& options = {});
  ~DaemonHarness();

  mgmt::test::SimulatedBmc& Bmc() { return bmc_; }
  mgmt::test::StandInCommands& StandIns() { return standIns_; }

  /// Starts selwatch (refused unless wall and poweroff resolve to the stand-ins).
  void StartDaemon();
  /// Stops it with `signal`, repeated every second (a second signal cuts the
  /// exit's linger short). Its exit status, or -1 when it did not end.
  int StopDaemon(int signal = SIGTERM);
  mgmt::test::ChildProcess& Daemon() { return *daemon_; }
  /// Makes the running daemon poll the SEL now (SIGUSR1).
  void PollNow();

  /// The next trap snmptrapd received, within `timeout`.
  std::optional<Trap> NextTrap(std::chrono::seconds timeout = std::chrono::seconds(20));
  /// Adds a SEL event (13 bytes after the record type); its record ID.
  int AddEvent(const std::vector<uint8_t>& thirteenBytes);

  /// FreeIPMI's ipmi-pet decoding of a trap, with the BMC's SDRs over LAN.
  std::string Decode(const Trap& trap);
  /// ipmitool over the simulator's LAN port.
  mgmt::test::RunResult Ipmitool(const std::vector<std::string>& args);
  /// The daemon's standard error so far.
  std::string DaemonLog() const;

 private:
  mgmt::test::SimulatedBmc bmc_;
  mgmt::test::StandInCommands standIns_{{"wall", "poweroff"}};
  mgmt::test::TempDir work_{"selwatch-run"};
  std::string address_;
  std::unique_ptr<mgmt::test::ChildProcess> trapd_;
  std::unique_ptr<mgmt::test::ChildProcess> daemon_;
};

}  // namespace selwatch_it

#endif
