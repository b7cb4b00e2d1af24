// A fixture installation root for the BMC configuration provider: a stand-in
// smbiosinfo that reports a chosen platform type, the recording bmcsetup
// stand-in, and the configuration files.
#ifndef MGMT_TESTS_PROVIDERS_BMCCONF_FIXTURE_H
#define MGMT_TESTS_PROVIDERS_BMCCONF_FIXTURE_H

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace bmcconftest {

/// One recorded bmcsetup call.
struct SetupCall {
  std::vector<std::string> args;  ///< without the program name
  std::string input;              ///< standard input as it came
  std::string fds;                ///< open descriptors, "0,1,2"
  long sid = 0;
  long ppid = 0;
  long pid = 0;
};

class ConfRoot {
 public:
  /// `platform`: what "smbiosinfo -t" prints (a line of its own).
  explicit ConfRoot(const std::string& platform);

  const std::filesystem::path& Path() const { return root_.Path(); }
  /// A file of the configuration directory (hmconfig).
  std::filesystem::path Conf(const std::string& name) const;
  void Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;

  /// The bmcsetup calls recorded so far.
  std::vector<SetupCall> Calls() const;
  /// Waits (at most 10 s) until `count` calls are recorded; returns them all.
  std::vector<SetupCall> WaitForCalls(size_t count) const;
  /// Removes bmcsetup (so that it cannot be started).
  void RemoveBmcSetup() const;

 private:
  mgmt::test::TempRoot root_;
};

/// ipmi.conf as bmcsetup and the provider write it, with a comment and a
/// section of someone else's around.
extern const char* const kIpmiConf;
/// bmcchannel.conf: present channels 1, 3, 4, 5 and 6, channel 2 absent
/// (IsChannel=0), channel 7 with the MAC that marks no port.
extern const char* const kChannelConf;

}  // namespace bmcconftest

#endif
