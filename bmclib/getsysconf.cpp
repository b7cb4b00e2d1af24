// Host network discovery: adapters from the object manager, netmasks and the
// default gateway from the kernel, MACs from the ARP table.
#include "getsysconf.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <Pegasus/Client/CIMClient.h>

#include "base/spawn.h"
#include "installroot.h"
#include "ipmiconf.h"
#include "util.h"

namespace {

constexpr int kMaxAdapters = 64;

bool IsLoopback(const netconf_t& adapter) { return std::strncmp(adapter.ip, "127.", 4) == 0; }

bool IsEnd(const netconf_t& adapter) { return adapter.ip[0] == '\0' && adapter.mac[0] == '\0'; }

void CopyCut(char* buf, size_t size, const std::string& text) {
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(buf, text.data(), length);
  buf[length] = '\0';
}

std::string MaskText(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr addr{networkOrder};
  inet_ntop(AF_INET, &addr, text, sizeof text);
  return text;
}

// IPv4 address -> netmask, from the kernel or the fixture under the root.
std::map<std::string, std::string> KernelNetmasks() {
  std::map<std::string, std::string> out;
  std::ifstream fixture;
  if (!mgmt::InstallRoot().empty()) fixture.open(mgmt::RootPath(mgmt::bmc::kIfAddrsFixture));
  if (fixture.is_open()) {
    std::string line;
    while (std::getline(fixture, line)) {
      std::istringstream words(line);
      std::string index, name, family, cidr;
      if (!(words >> index >> name >> family >> cidr) || family != "inet") continue;
      const size_t slash = cidr.find('/');
      if (slash == std::string::npos) continue;
      const std::string ip = cidr.substr(0, slash);
      int prefix = -1;
      if (std::sscanf(cidr.c_str() + slash + 1, "%d", &prefix) != 1 || prefix < 0 || prefix > 32)
        continue;
      if (!IsValidIPv4(ip.c_str())) continue;
      const uint32_t mask = prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix);
      out.emplace(ip, MaskText(htonl(mask)));
    }
    return out;
  }
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_netmask == nullptr || a->ifa_addr->sa_family != AF_INET)
      continue;
    const auto* addr = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    const auto* mask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask);
    out.emplace(MaskText(addr->sin_addr.s_addr), MaskText(mask->sin_addr.s_addr));
  }
  freeifaddrs(list);
  return out;
}

// An address of /proc/net/route: 32 hexadecimal bits in the host's byte
// order, which on this little-endian machine puts the first octet lowest.
std::optional<std::string> RouteAddress(const std::string& hex) {
  unsigned int value = 0;
  char extra = 0;
  if (hex.size() != 8 || std::sscanf(hex.c_str(), "%8x%c", &value, &extra) != 1)
    return std::nullopt;
  const unsigned char bytes[4] = {static_cast<unsigned char>(value & 0xFF),
                                  static_cast<unsigned char>(value >> 8 & 0xFF),
                                  static_cast<unsigned char>(value >> 16 & 0xFF),
                                  static_cast<unsigned char>(value >> 24 & 0xFF)};
  char text[16];
  IP2STR(text, sizeof text, bytes);
  return std::string(text);
}

}  // namespace

extern "C" void getNetcfg_OS(netconf_t* adapters, int capacity) {
  if (adapters == nullptr || capacity <= 0) return;
  using Pegasus::Uint32;  // PEG_NOT_FOUND names it unqualified
  int used = 0;
  try {
    Pegasus::CIMClient client;
    client.setTimeout(static_cast<Pegasus::Uint32>(mgmt::bmc::kCimTimeout.count()));
    client.connectLocal();
    const Pegasus::Array<Pegasus::CIMInstance> instances = client.enumerateInstances(
        Pegasus::CIMNamespaceName("root/cimv2"), Pegasus::CIMName("CIM_NetworkAdapter"), true, true,
        false, false, Pegasus::CIMPropertyList());
    for (Pegasus::Uint32 i = 0; i < instances.size() && used < capacity - 1; ++i) {
      const Pegasus::CIMInstance& instance = instances[i];
      std::string mac, ip;
      Pegasus::Uint32 at = instance.findProperty(Pegasus::CIMName("MACAddress"));
      if (at != PEG_NOT_FOUND) {
        const Pegasus::CIMValue value = instance.getProperty(at).getValue();
        if (!value.isNull() && value.getType() == Pegasus::CIMTYPE_STRING && !value.isArray()) {
          Pegasus::String text;
          value.get(text);
          mac = text.getCString();
        }
      }
      at = instance.findProperty(Pegasus::CIMName("NetworkAddresses"));
      if (at != PEG_NOT_FOUND) {
        const Pegasus::CIMValue value = instance.getProperty(at).getValue();
        if (!value.isNull() && value.getType() == Pegasus::CIMTYPE_STRING && value.isArray()) {
          Pegasus::Array<Pegasus::String> texts;
          value.get(texts);
          if (texts.size() > 0) ip = texts[0].getCString();
        }
      }
      // An adapter without a MAC cannot be the BMC's port; an entry for it
      // would end every walk of the list early.
      if (mac.empty()) continue;
      netconf_t& entry = adapters[used++];
      std::memset(&entry, 0, sizeof entry);
      CopyCut(entry.mac, sizeof entry.mac, mac);
      CopyCut(entry.ip, sizeof entry.ip, ip);
    }
  } catch (...) {
    // The object manager is absent, slow or failing: the list ends here.
  }
  std::memset(&adapters[used], 0, sizeof adapters[used]);
}

extern "C" BYTE DecideIPSourceTypeCapability(const char* bmcMac) {
  if (bmcMac == nullptr || !IsValidMacText(bmcMac) || IsPlaceholderMac(bmcMac)) return 1;
  std::vector<netconf_t> adapters(kMaxAdapters);
  getNetcfg_OS(adapters.data(), kMaxAdapters);
  for (const netconf_t& adapter : adapters) {
    if (IsEnd(adapter)) break;
    if (adapter.mac[0] == '\0' || IsLoopback(adapter) || IsPlaceholderMac(adapter.mac)) continue;
    if (CompareMAC(adapter.mac, bmcMac) == 0) return 2;
  }
  return 1;
}

void GetNetMasks(netconf_t* adapters, int capacity) {
  if (adapters == nullptr) return;
  const std::map<std::string, std::string> masks = KernelNetmasks();
  for (int i = 0; i < capacity && !IsEnd(adapters[i]); ++i) {
    auto found = masks.find(adapters[i].ip);
    if (found != masks.end())
      CopyCut(adapters[i].netmask, sizeof adapters[i].netmask, found->second);
  }
}

int GetDefaultGateway(char* ip, size_t ipSize, char* mac, size_t macSize) {
  std::ifstream routes(mgmt::RootPath("/proc/net/route"));
  std::string line;
  std::getline(routes, line);  // the header
  std::optional<std::string> best;
  long bestMetric = 0;
  while (std::getline(routes, line)) {
    std::istringstream words(line);
    std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
    if (!(words >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask))
      continue;
    unsigned int flagBits = 0;
    if (std::sscanf(flags.c_str(), "%x", &flagBits) != 1) continue;
    // RTF_UP | RTF_GATEWAY on the route to 0.0.0.0/0.
    if ((flagBits & 0x3) != 0x3 || destination != "00000000" || mask != "00000000") continue;
    const std::optional<std::string> address = RouteAddress(gateway);
    long metricValue = 0;
    if (!address || std::sscanf(metric.c_str(), "%ld", &metricValue) != 1) continue;
    if (!best || metricValue < bestMetric) {
      best = address;
      bestMetric = metricValue;
    }
  }
  if (!best || ip == nullptr || !CopyText(ip, ipSize, best->c_str())) return 0;
  if (mac != nullptr && macSize >= kMacTextSize) {
    char found[kMacTextSize] = {};
    char* ips[] = {ip, nullptr};
    char* macs[] = {found, nullptr};
    GetTrapTargetMacs(ips, macs, 1);
    CopyText(mac, macSize, found);
  }
  return 0;
}

void GetTrapTargetMacs(char** ips, char** macs, int /*count*/) {
  if (ips == nullptr || macs == nullptr) return;
  for (int i = 0; ips[i] != nullptr; ++i)
    if (macs[i] != nullptr) macs[i][0] = '\0';
  getmacsbyip(ips, macs);
  pingips(ips, macs);
  getmacsbyip(ips, macs);
}

int getmacsbyip(char** ips, char** macs) {
  if (ips == nullptr || macs == nullptr) return -1;
  std::ifstream table(mgmt::RootPath("/proc/net/arp"));
  if (!table) return -1;
  std::string line;
  std::getline(table, line);  // the header
  while (std::getline(table, line)) {
    std::istringstream words(line);
    std::string address, hwType, flags, hwAddress;
    if (!(words >> address >> hwType >> flags >> hwAddress)) continue;
    unsigned int flagBits = 0;
    std::sscanf(flags.c_str(), "%x", &flagBits);
    // ATF_COM: the entry is complete; an incomplete one holds a zero address.
    const bool complete = (flagBits & 0x2) != 0 && IsValidMacText(hwAddress.c_str()) &&
                          !IsPlaceholderMac(hwAddress.c_str());
    char digits[kMacTextSize] = {};
    if (complete) FormatMAC(hwAddress.c_str(), digits, sizeof digits);
    for (int i = 0; ips[i] != nullptr; ++i) {
      if (macs[i] != nullptr && address == ips[i]) CopyText(macs[i], kMacTextSize, digits);
    }
  }
  return 0;
}

namespace mgmt::bmc {

namespace {

// One ping, quiet (standard streams on /dev/null), killed when still running at
// the deadline it is waited for.
base::Child StartPing(const char* ip) {
  return base::Child({"ping", "-c", "2", "-i", "1", "-w", "1", ip}, base::ChildOptions{});
}

}  // namespace

void PingUnresolved(char** ips, char** macs, std::chrono::milliseconds limit) {
  if (ips == nullptr || macs == nullptr) return;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::vector<base::Child> children;
  for (int i = 0; ips[i] != nullptr; ++i) {
    if (macs[i] == nullptr || macs[i][0] != '\0' || !IsValidIPv4(ips[i])) continue;
    children.push_back(StartPing(ips[i]));
  }
  // The pings run side by side; all of them within the one limit.
  for (base::Child& child : children) child.Wait(deadline);
}

}  // namespace mgmt::bmc

void pingips(char** ips, char** macs) {
  mgmt::bmc::PingUnresolved(ips, macs, mgmt::bmc::kPingLimit);
}

void pthreadproc_ping(const char* ip) {
  if (ip == nullptr || !IsValidIPv4(ip)) return;
  mgmt::bmc::StartPing(ip).Wait(std::chrono::steady_clock::now() + mgmt::bmc::kPingLimit);
}
