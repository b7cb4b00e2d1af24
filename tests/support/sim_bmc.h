// The simulated BMC (ipmi_sim with the profile in etc/bmcsim) and imbd, started
// for a temporary installation root through scripts/bmcsim.sh, for integration
// tests and benchmarks. Everything it starts is stopped by its destructor.
#ifndef MGMT_TESTS_SUPPORT_SIM_BMC_H
#define MGMT_TESTS_SUPPORT_SIM_BMC_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace mgmt::test {

class SimulatedBmc {
 public:
  /// `imbd`: the daemon to run (the build's imbd target file).
  /// Throws std::runtime_error when the simulator or imbd does not come up.
  explicit SimulatedBmc(const std::string& imbd);
  ~SimulatedBmc();
  SimulatedBmc(const SimulatedBmc&) = delete;
  SimulatedBmc& operator=(const SimulatedBmc&) = delete;

  /// The installation root; /dev/imb under it is imbd's socket.
  const std::string& Root() const { return root_; }
  int VmPort() const { return vmPort_; }
  int LanPort() const { return lanPort_; }

  /// Runs ipmitool against the simulator's LAN port (lanplus, cipher suite 3)
  /// as `user`, standard error merged into the output, within 30 seconds.
  RunResult Ipmitool(const std::string& user, const std::string& password,
                     const std::vector<std::string>& command) const;
  /// Runs a simulator console command (see ipmi_sim_cmd(5)); returns its output.
  std::string Command(const std::string& command);
  /// Adds a SEL record (type 0x02 and 13 bytes after it); returns its record
  /// id, or -1.
  int AddSelEvent(const std::vector<uint8_t>& thirteenBytes);

  bool StopSimulator();
  bool StartSimulator();
  bool StopImbd();
  bool StartImbd();

 private:
  bool Script(const std::vector<std::string>& args, std::string* out = nullptr);

  std::string script_;
  std::unique_ptr<TempDir> dir_;
  std::string root_;
  int vmPort_ = 0;
  int lanPort_ = 0;
};

}  // namespace mgmt::test

#endif
