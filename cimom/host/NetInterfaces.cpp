#include "NetInterfaces.h"

#include "installroot.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace mgmt::cimom {
namespace {

constexpr size_t kMaxFixtureSize = 1u << 20;

std::string ReadFirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  if (in) std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\n'))
    line.pop_back();
  return line;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// IPv4 addresses per interface name, from getifaddrs().
std::map<std::string, std::vector<std::string>> LiveIpv4() {
  std::map<std::string, std::vector<std::string>> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || a->ifa_name == nullptr)
      continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
    if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) == nullptr) continue;
    out[a->ifa_name].push_back(text);
  }
  freeifaddrs(list);
  return out;
}

/// The fixture's addresses; nothing when the root holds no fixture file.
std::optional<std::map<std::string, std::vector<std::string>>> FixtureIpv4() {
  std::map<std::string, std::vector<std::string>> out;
  std::ifstream in(mgmt::RootPath(kIfAddrsFixture), std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxFixtureSize, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  for (auto& [name, address] : ParseIpAddrOutput(text)) out[name].push_back(address);
  return out;
}

}  // namespace

std::string NormaliseMac(std::string_view sysfs) {
  std::string out;
  size_t pos = 0;
  for (int octet = 0; octet < 6; ++octet) {
    if (octet > 0) {
      if (pos >= sysfs.size() || sysfs[pos] != ':') return {};
      ++pos;
    }
    if (pos + 2 > sysfs.size() || HexDigit(sysfs[pos]) < 0 || HexDigit(sysfs[pos + 1]) < 0)
      return {};
    for (int k = 0; k < 2; ++k) {
      char c = sysfs[pos + k];
      out += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    pos += 2;
  }
  return pos == sysfs.size() ? out : std::string();
}

std::vector<std::pair<std::string, std::string>> ParseIpAddrOutput(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string index, name, family, address;
    if (!(words >> index >> name >> family >> address)) continue;
    if (family != "inet" || index.empty() || index.back() != ':') continue;
    if (size_t at = name.find('@'); at != std::string::npos) name.resize(at);
    if (size_t slash = address.find('/'); slash != std::string::npos) address.resize(slash);
    in_addr parsed{};
    if (name.empty() || inet_pton(AF_INET, address.c_str(), &parsed) != 1) continue;
    out.emplace_back(name, address);
  }
  return out;
}

std::vector<NetInterface> ReadNetInterfaces() {
  std::vector<NetInterface> out;
  const std::filesystem::path netDir = mgmt::RootPath("/sys/class/net");
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(netDir, ec)) {
    NetInterface iface;
    iface.name = entry.path().filename().string();
    if (iface.name.empty() || iface.name.size() >= IF_NAMESIZE) continue;
    iface.mac = NormaliseMac(ReadFirstLine(entry.path() / "address"));
    std::string index = ReadFirstLine(entry.path() / "ifindex");
    int value = 0;
    auto [p, err] = std::from_chars(index.data(), index.data() + index.size(), value);
    if (err == std::errc() && p == index.data() + index.size() && value > 0) iface.index = value;
    out.push_back(std::move(iface));
  }
  std::sort(out.begin(), out.end(), [](const NetInterface& a, const NetInterface& b) {
    int ia = a.index > 0 ? a.index : INT_MAX, ib = b.index > 0 ? b.index : INT_MAX;
    return ia != ib ? ia < ib : a.name < b.name;
  });

  // An installation root without the fixture (a staged installation such as
  // the demo's) still runs on this host: its live addresses apply.
  std::optional<std::map<std::string, std::vector<std::string>>> fixture;
  if (!mgmt::InstallRoot().empty()) fixture = FixtureIpv4();
  auto ipv4 = fixture ? std::move(*fixture) : LiveIpv4();
  for (NetInterface& iface : out) {
    if (auto it = ipv4.find(iface.name); it != ipv4.end()) iface.ipv4 = it->second;
  }
  // An address with a label ("eth0:1") belongs to the interface before the colon.
  for (auto& [label, addresses] : ipv4) {
    size_t colon = label.find(':');
    if (colon == std::string::npos) continue;
    std::string base = label.substr(0, colon);
    for (NetInterface& iface : out) {
      if (iface.name == base)
        iface.ipv4.insert(iface.ipv4.end(), addresses.begin(), addresses.end());
    }
  }
  return out;
}

std::string HostNameForCim() {
  std::string name = ReadFirstLine(mgmt::RootPath("/proc/sys/kernel/hostname"));
  if (!name.empty()) return name;
  char buf[HOST_NAME_MAX + 1] = {};
  if (gethostname(buf, sizeof buf - 1) == 0 && buf[0] != '\0') return buf;
  return "localhost";
}

}  // namespace mgmt::cimom
