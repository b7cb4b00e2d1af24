#include "smbiosinfo.h"

#include <unistd.h>

#include "imbapi.h"
#include "installroot.h"
#include "smbapi.h"
#include "smbios/walker.h"

namespace mgmt::smbiosinfo {
namespace {

constexpr uint8_t kIpmiDeviceType = 38;
constexpr size_t kIpmiRevisionOffset = 5;
constexpr uint8_t kVoltageProbeType = 26;
constexpr uint8_t kCoolingDeviceType = 27;
constexpr uint8_t kTemperatureProbeType = 28;
constexpr uint8_t kSystemInformationType = 1;
constexpr size_t kProductNameOffset = 5;

// Get Device ID (network function App, command 0x01); the IPMI version is byte 4
// of the answer after the completion code.
constexpr BYTE kNetFnApp = 0x06;
constexpr BYTE kGetDeviceId = 0x01;
constexpr BYTE kBmcAddress = 0x20;
constexpr int kDeviceIdTimeoutMs = 1000;
constexpr int kIpmiVersionIndex = 4;

constexpr const char* kUsage =
    "usage: smbiosinfo -t | -m\n"
    "  -t  print the platform type (IPMI version, or PNPBIOS)\n"
    "  -m  print \"Product Name: \" and the system product name\n";

std::optional<uint8_t> AskIpmiVersion() {
  // Without an IMB driver there is no BMC to ask (and nothing to complain about).
  if (::access(RootPath("/dev/imb").c_str(), F_OK) != 0) return std::nullopt;
  IMBPREQUESTDATA request;
  FillRequest(&request, kGetDeviceId, kBmcAddress, 0, kNetFnApp, 0, nullptr, 0);
  BYTE response[IMB_SEND_BUFFER_SIZE] = {};
  int length = 0;
  BYTE completion = 0xFF;
  const int rc = SendTimedImbpRequest(&request, kDeviceIdTimeoutMs, response, &length, &completion);
  IMBClose();
  if (rc != IMB_OK || completion != 0 || length <= kIpmiVersionIndex) return std::nullopt;
  return response[kIpmiVersionIndex];
}

}  // namespace

std::string IpmiPlatformType(unsigned major, unsigned minor) {
  if (major == 1 && minor == 5) return "IPMI15";
  if (major == 1 && minor == 0) return "IPMI10";
  return "IPMI" + std::to_string(major) + "." + std::to_string(minor);
}

std::optional<std::string> PlatformTypeFromTable(std::span<const uint8_t> table) {
  const auto ipmi = smbios::FindStructure(table, kIpmiDeviceType);
  if (!ipmi) return std::nullopt;
  const auto revision = ipmi->Byte(kIpmiRevisionOffset);
  if (!revision) return std::nullopt;
  return IpmiPlatformType(*revision >> 4, *revision & 0x0F);
}

std::string PlatformTypeFromDeviceId(uint8_t ipmiVersion) {
  return IpmiPlatformType(ipmiVersion & 0x0F, ipmiVersion >> 4);
}

bool HasPnpProbes(std::span<const uint8_t> table) {
  for (const smbios::Structure& s : smbios::Structures(table)) {
    const uint8_t type = s.Type();
    if (type == kVoltageProbeType || type == kCoolingDeviceType || type == kTemperatureProbeType) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> PlatformType(const Sources& sources) {
  const auto table = sources.table();
  if (table) {
    if (auto type = PlatformTypeFromTable(*table)) return type;
  }
  if (const auto version = sources.ipmiVersion()) return PlatformTypeFromDeviceId(*version);
  if (table && HasPnpProbes(*table)) return "PNPBIOS";
  return std::nullopt;
}

std::optional<std::string> ProductNameLine(std::span<const uint8_t> table) {
  const auto system = smbios::FindStructure(table, kSystemInformationType);
  if (!system) return std::nullopt;
  const auto name = system->StringField(kProductNameOffset);
  if (!name) return std::nullopt;
  return "Product Name: " + std::string(*name);
}

int Run(const std::vector<std::string_view>& args, const Sources& sources, std::string& out,
        std::string& err) {
  if (args.size() != 1 || (args[0] != "-t" && args[0] != "-m")) {
    err += kUsage;
    return 2;
  }
  if (args[0] == "-t") {
    const auto type = PlatformType(sources);
    if (!type) {
      err +=
          "smbiosinfo: no IPMI device in the SMBIOS table, no BMC answering through "
          "/dev/imb, and no PnP-BIOS probes\n";
      return 1;
    }
    out += *type + "\n";
    return 0;
  }
  const auto table = sources.table();
  if (!table) {
    err += "smbiosinfo: no SMBIOS table from /dev/smbdrv\n";
    return 1;
  }
  const auto line = ProductNameLine(*table);
  if (!line) {
    err += "smbiosinfo: the SMBIOS table has no system product name\n";
    return 1;
  }
  out += *line + "\n";
  return 0;
}

Sources SystemSources() {
  return {[] { return smbapi::ReadTable(); }, AskIpmiVersion};
}

}  // namespace mgmt::smbiosinfo
