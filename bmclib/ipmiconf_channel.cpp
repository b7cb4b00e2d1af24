// Channels: discovery, information and access.
#include <cstring>
#include <utility>

#include "base/bytes.h"
#include "ipmiconf.h"
#include "ipmiconf_internal.h"

using mgmt::bmc::IpmiReply;
using mgmt::bmc::kNetFnApp;
using mgmt::bmc::Request;

channel_info_t g_channels[kMaxChannels];
int g_nChannels = 0;

namespace {

using mgmt::bmc::kCmdGetChannelAccess;
using mgmt::bmc::kCmdGetChannelInfo;
using mgmt::bmc::kCmdSetChannelAccess;
constexpr BYTE kMediumLan = 4;

// Get Channel Access selectors and Set Channel Access modes.
constexpr BYTE kReadNonVolatile = 0x40;
constexpr BYTE kReadVolatile = 0x80;
constexpr BYTE kSetNonVolatile = 0x40;
constexpr BYTE kSetVolatile = 0x80;
constexpr BYTE kAlertingDisabled = 0x20;

}  // namespace

bool IsLanChannel(const channel_info_t* channel) {
  return channel != nullptr && channel->mediumType == kMediumLan && channel->sessionSupport != 0;
}

namespace {

// Get Channel Info; `transportFailed` set when the BMC did not answer at all.
int ReadChannelInfo(channel_info_t* record, BYTE channel, bool& transportFailed) {
  const IpmiReply reply = Request(kNetFnApp, kCmdGetChannelInfo, {channel});
  transportFailed = reply.TransportFailed();
  if (!reply.Ok()) return reply.rc;
  // Byte 0 echoes the channel; bytes 1-8 are needed whole.
  if (!reply.Has(8)) return -1;
  const auto& b = reply.buffer;
  if (record != nullptr) {
    record->channel = channel;
    record->mediumType = b[1] & 0x7F;
    record->protocolType = b[2] & 0x3F;
    record->sessionSupport = b[3] >> 6;
    record->activeSessions = b[3] & 0x3F;
    record->vendorId = mgmt::base::GetLe24(b, 4);
    record->auxInfo = mgmt::base::GetLe16(b, 7);
  }
  return 0;
}

}  // namespace

int GetChannelInfo(channel_info_t* record, BYTE channel) {
  bool transportFailed = false;
  return ReadChannelInfo(record, channel, transportFailed);
}

int GetChannelAccess(channel_info_t* record) {
  if (record == nullptr) return -1;
  const IpmiReply reply = Request(kNetFnApp, kCmdGetChannelAccess,
                                  {static_cast<BYTE>(record->channel), kReadNonVolatile});
  if (!reply.Ok()) return reply.rc;
  if (!reply.Has(1)) return -1;
  record->accessByte = reply.buffer[0];
  record->privilegeLimit = reply.buffer[1];
  return 0;
}

int SetChannelAccess(const channel_info_t* record) {
  if (record == nullptr) return -1;
  return Request(kNetFnApp, kCmdSetChannelAccess,
                 {static_cast<BYTE>(record->channel), static_cast<BYTE>(record->accessByte),
                  static_cast<BYTE>(record->privilegeLimit)})
      .rc;
}

int EnableChannelAlerting(BYTE channel) {
  for (auto [read, set] :
       {std::pair{kReadVolatile, kSetVolatile}, {kReadNonVolatile, kSetNonVolatile}}) {
    const IpmiReply current = Request(kNetFnApp, kCmdGetChannelAccess, {channel, read});
    if (!current.Ok()) return current.rc;
    if (!current.Has(0)) return -1;
    // Bits 4-0 (authentication switches and access mode) stay as they are;
    // the privilege limit is not touched (its byte says "don't set").
    const BYTE access = static_cast<BYTE>(set | (current.buffer[0] & 0x1F & ~kAlertingDisabled));
    const int rc = Request(kNetFnApp, kCmdSetChannelAccess, {channel, access, 0x00}).rc;
    if (rc != 0) return rc;
  }
  return 0;
}

int InitChannels(void) {
  g_nChannels = 0;
  for (BYTE channel = 0; channel < kMaxChannels; ++channel) {
    channel_info_t& record = g_channels[g_nChannels];
    record = channel_info_t{};
    bool transportFailed = false;
    if (ReadChannelInfo(&record, channel, transportFailed) != 0) {
      // A BMC that stopped answering would cost the full time-out of every
      // remaining channel.
      if (transportFailed) break;
      continue;
    }
    if (GetChannelAccess(&record) < 0) {
      ++g_nChannels;
      break;
    }
    ++g_nChannels;
  }
  return 1;
}
