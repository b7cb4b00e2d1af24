// How the host itself is connected, so the BMC's LAN settings can follow it:
// the host's network adapters (from the CIM object manager's CIM_NetworkAdapter),
// their netmasks and the default gateway (from the kernel), and the MAC
// addresses behind IP addresses (the kernel's ARP table, filled by pinging).
//
// The kernel's files are read through the installation root (/proc/net/route,
// /proc/net/arp). Netmasks come from getifaddrs(), or, under an installation
// root that holds one, from the address fixture kIfAddrsFixture (`ip -o addr`
// lines "<index>: <name> inet <a.b.c.d>/<prefix> ...").
#ifndef MGMT_BMCLIB_GETSYSCONF_H
#define MGMT_BMCLIB_GETSYSCONF_H

#include <chrono>
#include <cstddef>

#include "imbapi.h"

/// One host adapter.
struct netconf_t {
  char ip[16];       ///< dotted decimal
  char mac[20];      ///< as the object manager gives it
  char netmask[16];  ///< dotted decimal
};
static_assert(sizeof(netconf_t) == 52);
static_assert(offsetof(netconf_t, mac) == 16);
static_assert(offsetof(netconf_t, netmask) == 36);

/// Room for the MAC texts of the address lists: twelve digits and NUL.
enum { kMacTextSize = 13 };

namespace mgmt::bmc {
/// Under an installation root, the file that stands in for the kernel's
/// address list (the same fixture the object manager's adapter provider reads).
inline constexpr const char* kIfAddrsFixture = "/run/mgmtagent/ifaddrs";
/// How long the object manager may take to list the adapters.
inline constexpr std::chrono::milliseconds kCimTimeout{10000};
/// How long the pings that fill the ARP cache may take.
inline constexpr std::chrono::milliseconds kPingLimit{3000};
}  // namespace mgmt::bmc

extern "C" {

/// Fills `adapters` (room for `capacity` entries, the end entry included) with
/// the host's adapters that have a MAC address, in the object manager's order,
/// and ends the list with an entry whose IP and MAC are empty. A failure of the
/// object manager ends the list early; nothing is reported.
void getNetcfg_OS(netconf_t* adapters, int capacity);

/// 2 when one of the host's own adapters has the BMC's MAC (the BMC shares a
/// host port), else 1. All-zero and all-F MACs and loopback adapters never match.
BYTE DecideIPSourceTypeCapability(const char* bmcMac);
}

/// Fills the netmask of every listed adapter whose IP the kernel knows (exact
/// match), up to `capacity` entries or the end entry.
void GetNetMasks(netconf_t* adapters, int capacity);

/// The default gateway with the lowest metric from the kernel's routing table,
/// and its MAC. @return 0; without a default route both outputs are unchanged.
int GetDefaultGateway(char* ip, size_t ipSize, char* mac, size_t macSize);

/// Resolves the MACs of the listed IPs (null-terminated lists; MAC buffers of
/// at least kMacTextSize bytes, a null one means "not wanted"): every
/// buffer emptied, the ARP table read, the addresses still unknown pinged, the
/// table read again. `count` is not used.
void GetTrapTargetMacs(char** ips, char** macs, int count);

/// Copies the MAC of every listed IP that the ARP table holds complete (twelve
/// upper-case digits); an incomplete entry gives an empty MAC.
/// @return 0, or -1 when the table cannot be read.
int getmacsbyip(char** ips, char** macs);

/// Pings every valid, non-empty IP whose MAC buffer is there and empty, all at
/// once, and returns when all pings ended or after kPingLimit (the rest are
/// killed and reaped).
void pingips(char** ips, char** macs);

/// One ping of `ip` (a valid IPv4 address), waited for at most kPingLimit.
void pthreadproc_ping(const char* ip);

namespace mgmt::bmc {
/// pingips with its time limit given.
void PingUnresolved(char** ips, char** macs, std::chrono::milliseconds limit);
}  // namespace mgmt::bmc

#endif
