// What bmcsetup does in each mode, on the BMC reached through the IMB driver
// and the configuration files under the installation root. Each mode returns
// the program's exit status (0 done, 1 failed) and reports through `log`.
#ifndef MGMT_BMCLIB_TOOLS_BMCSETUP_MODES_H
#define MGMT_BMCLIB_TOOLS_BMCSETUP_MODES_H

#include <functional>
#include <string>

#include "bmcsetup_args.h"

namespace mgmt::bmcsetup {

/// priority: a syslog priority (LOG_ERR, LOG_INFO).
using Log = std::function<void(int priority, const std::string& message)>;

/// The BMC user that -g names: user 1 is the anonymous user, whose name cannot
/// be set; user 2 is the first named user, the administrator a BMC ships with.
inline constexpr unsigned char kConfiguredUser = 2;

/// -i: the BMC's LAN channels into bmcchannel.conf (channels it does not offer
/// are marked absent where the file has them), and its trap targets and
/// send-events flag into ipmi.conf; nothing else of ipmi.conf changes. Files
/// are untouched when the BMC does not answer.
int InitFromBmc(const Log& log);
/// -s: for present channels with IP source 3, the host adapter with the
/// channel's MAC gives the BMC its address. Without such a channel nothing at
/// all happens.
int SyncBmcAddress(const Log& log);
/// -g: the user's name and password (empty: unchanged), then the trap targets
/// of ipmi.conf as the alert destinations of every LAN channel.
int SetUserAndTargets(const Command& command, const Log& log);
/// -c N: channel N of bmcchannel.conf to the BMC.
int ApplyChannel(int channel, const Log& log);

int Run(const Command& command, const Log& log);

}  // namespace mgmt::bmcsetup

#endif
