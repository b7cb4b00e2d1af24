// The LAN configuration of the BMC's LAN channels: reading it whole, the table
// of every LAN channel, and writing addresses, alerting and destinations.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ipmiconf.h"
#include "ipmiconf_internal.h"
#include "util.h"

lan_config_t g_lanconfs[kMaxChannels];
int g_nLanconfs = 0;

namespace {

using mgmt::bmc::kLanAuthTypeEnables;
using mgmt::bmc::kLanBackupGatewayIp;
using mgmt::bmc::kLanBackupGatewayMac;
using mgmt::bmc::kLanDestAddress;
using mgmt::bmc::kLanDestCount;
using mgmt::bmc::kLanGatewayIp;
using mgmt::bmc::kLanGatewayMac;
using mgmt::bmc::kLanIp;
using mgmt::bmc::kLanIpSource;
using mgmt::bmc::kLanMac;
using mgmt::bmc::kLanSubnetMask;

// The block's fields with their parameters, in reading order.
struct BlockField {
  BYTE parameter;
  size_t offset;
  int length;
};
constexpr BlockField kBlockFields[] = {
    {kLanIp, offsetof(LanParamBlock, ip), 4},
    {kLanIpSource, offsetof(LanParamBlock, ipSource), 1},
    {kLanMac, offsetof(LanParamBlock, mac), 6},
    {kLanSubnetMask, offsetof(LanParamBlock, subnetMask), 4},
    {kLanGatewayIp, offsetof(LanParamBlock, gatewayIp), 4},
    {kLanGatewayMac, offsetof(LanParamBlock, gatewayMac), 6},
    {kLanBackupGatewayIp, offsetof(LanParamBlock, backupGatewayIp), 4},
    {kLanBackupGatewayMac, offsetof(LanParamBlock, backupGatewayMac), 6},
};

// false when the transport failed: the caller's sequence ends there.
bool ReadLan(BYTE channel, BYTE parameter, BYTE* out, int length, BYTE setSelector = 0) {
  return GetLanConf(out, length, 0, channel, parameter, setSelector, 0) >= 0;
}

enum class LanRead { kRead, kNoAdminAuth, kNoTransport };

LanRead ReadLanConfig(lan_config_t* record, BYTE channel) {
  record->channel = channel;
  BYTE auth[5] = {};
  if (!ReadLan(channel, kLanAuthTypeEnables, auth, 5)) return LanRead::kNoTransport;
  if ((auth[3] & 0x3F) == 0) return LanRead::kNoAdminAuth;

  auto* block = reinterpret_cast<BYTE*>(&record->params);
  for (const BlockField& field : kBlockFields) {
    if (!ReadLan(channel, field.parameter, block + field.offset, field.length))
      return LanRead::kNoTransport;
  }
  BYTE count = 0;
  if (!ReadLan(channel, kLanDestCount, &count, 1)) return LanRead::kNoTransport;
  record->numDests = count & 0x0F;
  int stored = 0;
  for (uint32_t selector = 1; selector <= record->numDests; ++selector) {
    // Filled with a mark the reply always overwrites: a destination that was
    // refused or came back short leaves no gap.
    LanAlertDest dest;
    std::memset(&dest, 0, sizeof dest);
    dest.setSelector = 0xFF;
    const int rc = GetLanConf(reinterpret_cast<BYTE*>(&dest), sizeof dest, 0, channel,
                              kLanDestAddress, static_cast<BYTE>(selector), 0);
    if (rc < 0) return LanRead::kNoTransport;
    if (rc == 0 && dest.setSelector != 0xFF) record->dests[stored++] = dest;
  }
  return LanRead::kRead;
}

}  // namespace

int GetLanConfig(lan_config_t* record, BYTE channel) {
  if (record == nullptr) return -1;
  return ReadLanConfig(record, channel) == LanRead::kRead ? 0 : -1;
}

void GetLanConfs(void) {
  g_nLanconfs = 0;
  for (int i = 0; i < g_nChannels && i < kMaxChannels; ++i) {
    channel_info_t& channel = g_channels[i];
    if (!IsLanChannel(&channel)) continue;
    lan_config_t& record = g_lanconfs[g_nLanconfs];
    const LanRead read = ReadLanConfig(&record, static_cast<BYTE>(channel.channel));
    if (read == LanRead::kNoTransport) break;
    if (read != LanRead::kRead) continue;
    record.accessByte = channel.accessByte;
    record.channelInfo = &channel;
    ++g_nLanconfs;
  }
}

int SetLanConfs(lan_config_t* record, unsigned long flags) {
  if (record == nullptr || !IsValidIPSource(record->params.ipSource)) return -1;
  const BYTE channel = static_cast<BYTE>(record->channel);
  const LanParamBlock& p = record->params;
  if (SetLanConf(&p.ipSource, 1, channel, kLanIpSource) < 0) return 0;

  struct Write {
    unsigned long flag;
    BYTE parameter;
    const BYTE* data;
    int length;
  };
  const Write writes[] = {
      {kLanSetIp, kLanIp, p.ip, 4},
      {kLanSetSubnetMask, kLanSubnetMask, p.subnetMask, 4},
      {kLanSetGatewayIp, kLanGatewayIp, p.gatewayIp, 4},
      {kLanSetGatewayMac, kLanGatewayMac, p.gatewayMac, 6},
      {kLanSetBackupGatewayIp, kLanBackupGatewayIp, p.backupGatewayIp, 4},
      {kLanSetBackupGatewayMac, kLanBackupGatewayMac, p.backupGatewayMac, 6},
  };
  for (const Write& w : writes) {
    if ((flags & w.flag) == 0) continue;
    const int rc = SetLanConf(w.data, w.length, channel, w.parameter);
    if (rc < 0) return 0;
    // A new subnet mask takes effect on the BMC's restart.
    if (w.parameter == kLanSubnetMask && rc == 0 && BMCColdReset() < 0) return 0;
  }

  if (EnableChannelAlerting(channel) < 0) return 0;

  if ((flags & kLanSetAlertDests) != 0) {
    const uint32_t count = std::min<uint32_t>(record->numDests, kLanMaxAlertDests);
    for (uint32_t i = 0; i < count; ++i) {
      const auto* dest = reinterpret_cast<const BYTE*>(&record->dests[i]);
      if (SetLanConf(dest, sizeof(LanAlertDest), channel, kLanDestAddress) < 0) break;
    }
  }
  return 0;
}
