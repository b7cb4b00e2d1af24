// Recording stand-ins for the commands the system finds through PATH (poweroff,
// wall, arp, ping, route, ifconfig, ...): while the object lives their folder is
// first in PATH, each call is recorded with its arguments and answered with a
// scripted exit status and output, and the real command is never reached.
#ifndef MGMT_TESTS_SUPPORT_STAND_INS_H
#define MGMT_TESTS_SUPPORT_STAND_INS_H

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace mgmt::test {

class StandInCommands {
 public:
  /// Stand-ins for `names`, each exiting 0 without output until Script() says
  /// otherwise. Throws std::runtime_error when PATH still finds another
  /// program first for one of them.
  explicit StandInCommands(const std::vector<std::string>& names);
  StandInCommands(const StandInCommands&) = delete;
  StandInCommands& operator=(const StandInCommands&) = delete;

  /// What `name` prints on standard output and the status it exits with.
  void Script(const std::string& name, int exitStatus, const std::string& output = "");
  /// The argument vectors (without the command name) of every call so far.
  std::vector<std::vector<std::string>> Calls(const std::string& name) const;
  /// The folder of the stand-ins, and the PATH value with it first (for a child
  /// started with an environment of its own).
  const std::filesystem::path& Dir() const { return dir_.Path(); }
  std::string PathValue() const { return path_; }

 private:
  void Write(const std::string& name, int exitStatus, const std::string& output);

  TempDir dir_;
  std::string path_;
  ScopedEnv scopedPath_;
};

}  // namespace mgmt::test

#endif
