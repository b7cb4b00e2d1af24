// Where the BMC library keeps its configuration (before the installation root is
// applied) and where the BMC set-up tool is installed.
#ifndef MGMT_BMCLIB_BMCPATHS_H
#define MGMT_BMCLIB_BMCPATHS_H

namespace mgmt::bmc {

inline constexpr const char* kConfigDir = "/usr/local/share/mgmtagent/hmon/hmconfig";
inline constexpr const char* kIpmiConfPath = "/usr/local/share/mgmtagent/hmon/hmconfig/ipmi.conf";
inline constexpr const char* kBmcChannelConfPath =
    "/usr/local/share/mgmtagent/hmon/hmconfig/bmcchannel.conf";
inline constexpr const char* kSmbiosConfPath =
    "/usr/local/share/mgmtagent/hmon/hmconfig/smbios.conf";
/// The advisory lock that every writer of ipmi.conf and bmcchannel.conf holds
/// for its read-modify-write (see conflock.h).
inline constexpr const char* kConfigLockPath =
    "/usr/local/share/mgmtagent/hmon/hmconfig/.bmcconf.lock";
inline constexpr const char* kBmcSetupPath = "/usr/local/share/mgmtagent/hmon/selwatch/bmcsetup";

}  // namespace mgmt::bmc

#endif
