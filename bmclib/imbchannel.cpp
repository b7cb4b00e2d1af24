// CChannelConf: construction, accessors and the bmcchannel.conf side.
#include "imbchannel.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "bmcpaths.h"
#include "cfghandle.h"
#include "util.h"

namespace {

using mgmt::bmc::ReadCfgNumber;
using mgmt::bmc::WriteCfgNumber;

constexpr const char* kIPSourceKey = "IPSource";
constexpr const char* kIpSourceCapKey = "IpSourceCap";
constexpr const char* kIPKey = "IP";
constexpr const char* kMACKey = "MAC";
constexpr const char* kNetmaskKey = "Netmask";
constexpr const char* kGatewayIPKey = "GatewayIP";
constexpr const char* kGatewayMACKey = "GatewayMAC";
constexpr const char* kNumTargetsKey = "NumTargets";
constexpr const char* kIsChannelKey = "IsChannel";
constexpr const char* kSupportRmcpKey = "SupportRmcp+";

// An address text is empty (not set) or a valid address.
bool EmptyOrIPv4(const char* text) { return text[0] == '\0' || IsValidIPv4(text); }
bool EmptyOrMac(const char* text) { return text[0] == '\0' || IsValidMacText(text); }

}  // namespace

void ChannelSectionName(uint8_t channel, char* buf, size_t size) {
  std::snprintf(buf, size, "Channel_%u", static_cast<unsigned>(channel));
}

CChannelConf::CChannelConf() : CChannelConf(0) {}

CChannelConf::CChannelConf(uint8_t channel)
    : channel_(channel),
      ipSource_(0),
      ipSourceCap_(0),
      numTargets_(0),
      isChannel_(0),
      lanRead_(0),
      ip_{},
      mac_{},
      netmask_{},
      gatewayIp_{},
      gatewayMac_{},
      access_{},
      authTypeEnables_{},
      supportRmcpPlus_{"false"} {}

bool CChannelConf::SetIP(const char* text) { return CopyText(ip_, sizeof ip_, text); }
bool CChannelConf::SetMAC(const char* text) { return CopyText(mac_, sizeof mac_, text); }
bool CChannelConf::SetNetmask(const char* text) {
  return CopyText(netmask_, sizeof netmask_, text);
}
bool CChannelConf::SetGatewayIP(const char* text) {
  return CopyText(gatewayIp_, sizeof gatewayIp_, text);
}
bool CChannelConf::SetGatewayMAC(const char* text) {
  return CopyText(gatewayMac_, sizeof gatewayMac_, text);
}
bool CChannelConf::SetSupportRmcpPlus(const char* text) {
  return CopyText(supportRmcpPlus_, sizeof supportRmcpPlus_, text);
}

int CChannelConf::GetFromFile(_CfgFile* given) {
  mgmt::bmc::CfgScope scope(given, mgmt::bmc::kBmcChannelConfPath, mgmt::bmc::CfgScope::Use::kRead);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return 0;
  char section[16];
  ChannelSectionName(channel_, section, sizeof section);

  ipSource_ = static_cast<uint8_t>(ReadCfgNumber(cfg, section, kIPSourceKey));
  ipSourceCap_ = static_cast<uint8_t>(ReadCfgNumber(cfg, section, kIpSourceCapKey));
  numTargets_ = static_cast<uint8_t>(ReadCfgNumber(cfg, section, kNumTargetsKey));
  isChannel_ = ReadCfgNumber(cfg, section, kIsChannelKey) != 0 ? 1 : 0;
  CfgReadString(cfg, section, kIPKey, ip_, sizeof ip_);
  CfgReadString(cfg, section, kMACKey, mac_, sizeof mac_);
  CfgReadString(cfg, section, kNetmaskKey, netmask_, sizeof netmask_);
  CfgReadString(cfg, section, kGatewayIPKey, gatewayIp_, sizeof gatewayIp_);
  CfgReadString(cfg, section, kGatewayMACKey, gatewayMac_, sizeof gatewayMac_);
  CfgReadString(cfg, section, kSupportRmcpKey, supportRmcpPlus_, sizeof supportRmcpPlus_);
  // A MAC of all F digits is what a BMC reports for a channel without a port.
  if (strncasecmp(mac_, "ffffffffffff", 12) == 0) isChannel_ = 0;
  return 0;
}

int CChannelConf::Set2File(_CfgFile* given) const {
  if (isChannel_ == 0) return 0;
  if (!IsValidIPSource(ipSource_) || !EmptyOrIPv4(ip_) || !EmptyOrMac(mac_) ||
      !EmptyOrIPv4(netmask_) || !EmptyOrIPv4(gatewayIp_) || !EmptyOrMac(gatewayMac_))
    return -1;
  mgmt::bmc::CfgScope scope(given, mgmt::bmc::kBmcChannelConfPath,
                            mgmt::bmc::CfgScope::Use::kWrite);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return -1;
  char section[16];
  ChannelSectionName(channel_, section, sizeof section);

  int failed = 0;
  failed |= WriteCfgNumber(cfg, section, kIPSourceKey, ipSource_);
  failed |= WriteCfgNumber(cfg, section, kIpSourceCapKey, ipSourceCap_);
  failed |= CfgWriteString(cfg, section, kIPKey, ip_);
  failed |= CfgWriteString(cfg, section, kMACKey, mac_);
  failed |= CfgWriteString(cfg, section, kNetmaskKey, netmask_);
  failed |= CfgWriteString(cfg, section, kGatewayIPKey, gatewayIp_);
  failed |= CfgWriteString(cfg, section, kGatewayMACKey, gatewayMac_);
  failed |= WriteCfgNumber(cfg, section, kNumTargetsKey, numTargets_);
  failed |= WriteCfgNumber(cfg, section, kIsChannelKey, isChannel_);
  failed |= CfgWriteString(cfg, section, kSupportRmcpKey, supportRmcpPlus_);
  if (failed != 0) return -1;
  return scope.FlushIfOwn();
}

int CChannelConf::MarkAbsentInFile(_CfgFile* given) const {
  mgmt::bmc::CfgScope scope(given, mgmt::bmc::kBmcChannelConfPath,
                            mgmt::bmc::CfgScope::Use::kWrite);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return -1;
  char section[16];
  ChannelSectionName(channel_, section, sizeof section);
  if (WriteCfgNumber(cfg, section, kIsChannelKey, 0) != 0) return -1;
  return scope.FlushIfOwn();
}

int CChannelConf::WriteAddressesToFile() const {
  mgmt::bmc::CfgScope scope(nullptr, mgmt::bmc::kBmcChannelConfPath,
                            mgmt::bmc::CfgScope::Use::kWrite);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return -1;
  char section[16];
  ChannelSectionName(channel_, section, sizeof section);
  int failed = 0;
  failed |= CfgWriteString(cfg, section, kIPKey, ip_);
  failed |= CfgWriteString(cfg, section, kNetmaskKey, netmask_);
  failed |= CfgWriteString(cfg, section, kGatewayIPKey, gatewayIp_);
  failed |= CfgWriteString(cfg, section, kGatewayMACKey, gatewayMac_);
  if (failed != 0) return -1;
  return scope.FlushIfOwn();
}
