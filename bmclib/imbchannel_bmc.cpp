// CChannelConf: the BMC side (reading the channel, applying it, following the
// host's address).
#include <cstring>
#include <string>

#include "getsysconf.h"
#include "imbchannel.h"
#include "ipmiconf.h"
#include "ipmiconf_internal.h"
#include "platformmodel.h"
#include "util.h"

namespace {

using mgmt::bmc::kCmdGetChannelInfo;
using mgmt::bmc::kCmdSetChannelAccess;
using mgmt::bmc::kLanAuthTypeEnables;
using mgmt::bmc::kLanDestAddress;
using mgmt::bmc::kLanDestCount;
using mgmt::bmc::kLanGatewayIp;
using mgmt::bmc::kLanGatewayMac;
using mgmt::bmc::kLanIp;
using mgmt::bmc::kLanIpSource;
using mgmt::bmc::kLanMac;
using mgmt::bmc::kLanSubnetMask;
constexpr uint8_t kStaticSource = 1;
constexpr uint8_t kSystemSoftwareSource = 3;
constexpr int kMaxHeldTargets = 3;

// Text forms of parameter bytes; a buffer of the field's size always fits them.
template <size_t N>
void IpText(char (&field)[N], const BYTE* bytes) {
  IP2STR(field, N, bytes);
}
template <size_t N>
void MacText(char (&field)[N], const BYTE* bytes) {
  Mac2STR(field, N, bytes);
}

// The six bytes of a checked MAC text.
void MacBytes(const char* text, BYTE* out) {
  char digits[kMacTextSize] = {};
  FormatMAC(text, digits, sizeof digits);
  STR2Mac(digits, out);
}

bool EmptyOr(bool (*valid)(const char*), const char* text) {
  return text[0] == '\0' || valid(text);
}

// Writes one LAN parameter; false ends the caller's sequence (`rc` keeps the
// first failure).
bool Write(BYTE channel, BYTE parameter, const BYTE* data, int length, int& rc) {
  const int result = SetLanConf(data, length, channel, parameter);
  if (result != 0 && rc == 0) rc = result;
  return result >= 0;
}

}  // namespace

bool CChannelConf::IsLanChannel() {
  const mgmt::bmc::IpmiReply reply =
      mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdGetChannelInfo, {channel_});
  return reply.Has(3) && (reply.buffer[1] & 0x7F) == 4 && reply.buffer[3] != 0;
}

CChannelConf::BmcRead CChannelConf::ReadFromBMC() {
  const mgmt::bmc::IpmiReply info =
      mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdGetChannelInfo, {channel_});
  if (info.TransportFailed()) return BmcRead::kNoTransport;
  if (!info.Has(3) || (info.buffer[1] & 0x7F) != 4 || info.buffer[3] == 0) return BmcRead::kAbsent;

  bool noTransport = false;
  using mgmt::bmc::ReadLanParameter;
  const auto auth = ReadLanParameter(channel_, kLanAuthTypeEnables, 0, 5, noTransport);
  if (noTransport) return BmcRead::kNoTransport;
  if (!auth || ((*auth)[3] & 0x3F) == 0) return BmcRead::kAbsent;
  std::memcpy(authTypeEnables_, auth->data(), sizeof authTypeEnables_);
  isChannel_ = 1;
  lanRead_ = 1;

  struct Field {
    BYTE parameter;
    size_t length;
    void (*store)(CChannelConf&, const BYTE*);
  };
  const Field fields[] = {
      {kLanIp, 4, [](CChannelConf& c, const BYTE* b) { IpText(c.ip_, b); }},
      {kLanIpSource, 1, [](CChannelConf& c, const BYTE* b) { c.ipSource_ = b[0] & 0x0F; }},
      {kLanMac, 6, [](CChannelConf& c, const BYTE* b) { MacText(c.mac_, b); }},
      {kLanSubnetMask, 4, [](CChannelConf& c, const BYTE* b) { IpText(c.netmask_, b); }},
      {kLanGatewayIp, 4, [](CChannelConf& c, const BYTE* b) { IpText(c.gatewayIp_, b); }},
      {kLanGatewayMac, 6, [](CChannelConf& c, const BYTE* b) { MacText(c.gatewayMac_, b); }},
  };
  for (const Field& field : fields) {
    const auto value = ReadLanParameter(channel_, field.parameter, 0, field.length, noTransport);
    if (noTransport) return BmcRead::kNoTransport;
    if (value) field.store(*this, value->data());
  }

  const auto count = ReadLanParameter(channel_, kLanDestCount, 0, 1, noTransport);
  if (noTransport) return BmcRead::kNoTransport;
  if (count) numTargets_ = (*count)[0] & 0x0F;
  for (int i = 0; i < numTargets_ && i < kMaxHeldTargets; ++i) {
    const auto dest =
        ReadLanParameter(channel_, kLanDestAddress, static_cast<BYTE>(i + 1), 13, noTransport);
    if (noTransport) return BmcRead::kNoTransport;
    if (!dest) continue;
    char ip[16], mac[13];
    IP2STR(ip, sizeof ip, dest->data() + 3);
    Mac2STR(mac, sizeof mac, dest->data() + 7);
    targets_.SetTargetIPAt(i, ip);
    targets_.SetTargetMACAt(i, mac);
  }

  ipSourceCap_ = mgmt::bmc::ModelStartsWith("corvid_juniper") ? kSystemSoftwareSource
                                                              : DecideIPSourceTypeCapability(mac_);
  SetSupportRmcpPlus(GetRMCPConf(channel_) == 1 ? "true" : "false");
  return BmcRead::kRead;
}

int CChannelConf::ApplyToBMC(bool targetsOnly) {
  if (isChannel_ == 0) return 0;
  int rc = 0;
  if (targetsOnly) {
    const int held = numTargets_ < kMaxHeldTargets ? numTargets_ : kMaxHeldTargets;
    LanAlertDest dests[kMaxHeldTargets];
    for (int i = 0; i < held; ++i) {
      const char* ip = targets_.GetTargetIPAt(i);
      const char* mac = targets_.GetTargetMACAt(i);
      if (!EmptyOr(IsValidIPv4, ip) || !EmptyOr(IsValidMacText, mac)) return -1;
      LanAlertDest& d = dests[i];
      std::memset(&d, 0, sizeof d);
      d.setSelector = static_cast<uint8_t>(i + 1);
      if (ip[0] == '\0') {
        std::memset(d.ip, 0xFF, sizeof d.ip + sizeof d.mac);
        continue;
      }
      STR2IP(ip, d.ip);
      if (mac[0] != '\0') MacBytes(mac, d.mac);
    }
    for (int selector = held + 1; selector <= numTargets_; ++selector) {
      LanAlertDest cleared;
      std::memset(&cleared, 0xFF, sizeof cleared);
      cleared.setSelector = static_cast<uint8_t>(selector);
      cleared.addressFormat = 0;
      cleared.gatewaySelector = 0;
      if (!Write(channel_, kLanDestAddress, &cleared.setSelector, sizeof cleared, rc)) return -1;
    }
    for (int i = held - 1; i >= 0; --i) {
      if (!Write(channel_, kLanDestAddress, &dests[i].setSelector, sizeof dests[i], rc)) return -1;
    }
    return rc;
  }

  if (!IsValidIPSource(ipSource_)) return -1;
  const bool isStatic = ipSource_ == kStaticSource;
  if (isStatic && (!IsValidIPv4(ip_) || !IsValidIPv4(netmask_) ||
                   !EmptyOr(IsValidIPv4, gatewayIp_) || !EmptyOr(IsValidMacText, gatewayMac_)))
    return -1;
  if (!Write(channel_, kLanIpSource, &ipSource_, 1, rc)) return -1;
  if (isStatic) {
    BYTE ip[4], mask[4], gateway[4], gatewayMac[6] = {};
    STR2IP(ip_, ip);
    STR2IP(netmask_, mask);
    if (!Write(channel_, kLanIp, ip, 4, rc) || !Write(channel_, kLanSubnetMask, mask, 4, rc))
      return -1;
    if (gatewayIp_[0] != '\0') {
      STR2IP(gatewayIp_, gateway);
      if (!Write(channel_, kLanGatewayIp, gateway, 4, rc)) return -1;
    }
    if (gatewayMac_[0] != '\0') {
      MacBytes(gatewayMac_, gatewayMac);
      if (!Write(channel_, kLanGatewayMac, gatewayMac, 6, rc)) return -1;
    }
    // Alerting on; the authentication settings stay as the BMC holds them.
    const int access = EnableChannelAlerting(channel_);
    if (access < 0) return -1;
    if (access != 0 && rc == 0) rc = access;
  }
  // The BMC takes new LAN settings over on its restart.
  if (BMCColdReset() < 0) return -1;
  return rc;
}

void CChannelConf::SetAccess(uint8_t accessByte, uint8_t privilegeLimit) {
  access_[0] = channel_;
  access_[1] = accessByte;
  access_[2] = privilegeLimit;
}

int CChannelConf::SetAccess2BMC() {
  if (isChannel_ == 0) return 0;
  return mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdSetChannelAccess,
                            {access_[0], access_[1], access_[2]})
      .rc;
}

int CChannelConf::SynchBMCIP(const netconf_t* adapters, int count, const char* gatewayIp,
                             const char* gatewayMac) {
  if (isChannel_ == 0 || ipSource_ != kSystemSoftwareSource || adapters == nullptr) return 0;
  for (int i = 0; i < count; ++i) {
    const netconf_t& adapter = adapters[i];
    if (adapter.ip[0] == '\0' && adapter.mac[0] == '\0') break;
    if (adapter.mac[0] == '\0' || IsPlaceholderMac(adapter.mac) ||
        std::strncmp(adapter.ip, "127.", 4) == 0)
      continue;
    if (CompareMAC(adapter.mac, mac_) != 0 || std::strcmp(adapter.ip, ip_) == 0) continue;
    if (!IsValidIPv4(adapter.ip) || !IsValidIPv4(adapter.netmask)) return -1;
    const bool withGateway = gatewayIp != nullptr && IsValidIPv4(gatewayIp);
    const bool withGatewayMac = withGateway && gatewayMac != nullptr && IsValidMacText(gatewayMac);

    int rc = 0;
    BYTE ip[4], mask[4], gateway[4], gwMac[6] = {};
    STR2IP(adapter.ip, ip);
    STR2IP(adapter.netmask, mask);
    bool ok = Write(channel_, kLanIp, ip, 4, rc) && Write(channel_, kLanSubnetMask, mask, 4, rc);
    if (ok && withGateway) {
      STR2IP(gatewayIp, gateway);
      ok = Write(channel_, kLanGatewayIp, gateway, 4, rc);
    }
    if (ok && withGatewayMac) {
      MacBytes(gatewayMac, gwMac);
      ok = Write(channel_, kLanGatewayMac, gwMac, 6, rc);
    }
    if (!ok || rc != 0) return -1;

    // The BMC took the address: the file follows.
    SetIP(adapter.ip);
    SetNetmask(adapter.netmask);
    if (withGateway) SetGatewayIP(gatewayIp);
    if (withGatewayMac) SetGatewayMAC(gatewayMac);
    return WriteAddressesToFile();
  }
  return 0;
}
