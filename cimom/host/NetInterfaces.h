// The host's network interfaces as the built-in CIM_NetworkAdapter provider sees
// them.
//
// Interfaces and their hardware addresses come from /sys/class/net (through the
// installation root). IPv4 addresses come from getifaddrs(), unless the installation
// root (MGMTAGENT_ROOT set) holds the file kIfAddrsFixture: then from that file, which
// holds `ip -o addr` output: lines "<index>: <name> inet <a.b.c.d>/<len> ...";
// other lines (inet6, link) are ignored.
#ifndef MGMT_CIMOM_HOST_NETINTERFACES_H
#define MGMT_CIMOM_HOST_NETINTERFACES_H

#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimom {

/// Path (before the root prefix) of the IPv4 fixture file used under a fixture root.
inline constexpr const char* kIfAddrsFixture = "/run/mgmtagent/ifaddrs";

struct NetInterface {
  std::string name;               ///< kernel interface name, e.g. "eth0"
  int index = 0;                  ///< kernel interface index (0 if unknown)
  std::string mac;                ///< twelve upper-case hex digits, empty if not a 6-byte address
  std::vector<std::string> ipv4;  ///< dotted-decimal addresses, in kernel order
};

/// Every interface under /sys/class/net, ordered by interface index, then name.
std::vector<NetInterface> ReadNetInterfaces();

/// "52:54:00:ab:CD:ef" -> "525400ABCDEF"; anything but six colon-separated octets -> "".
std::string NormaliseMac(std::string_view sysfsAddress);

/// Parses `ip -o addr` text into (interface name, IPv4 address) pairs, in order.
std::vector<std::pair<std::string, std::string>> ParseIpAddrOutput(std::string_view text);

/// The host name for SystemName: /proc/sys/kernel/hostname under the root, else gethostname().
std::string HostNameForCim();

}  // namespace mgmt::cimom

#endif
