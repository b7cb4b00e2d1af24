// CBMCLanConf: construction, accessors and the ipmi.conf side.
#include "imblanconf.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "bmcpaths.h"
#include "cfghandle.h"
#include "imbchannel.h"
#include "platformmodel.h"
#include "util.h"

namespace {

using mgmt::bmc::ReadCfgNumber;
using mgmt::bmc::WriteCfgNumber;

constexpr const char* kSendEventKey = "BMCSendEvent";
constexpr const char* kShutdownKey = "ShutdownifTempHigh";
constexpr const char* kAsrEnabledKey = "AsrEnabled";
constexpr const char* kAsrTimerKey = "AsrTimer";
constexpr const char* kAsrActionKey = "m_asraction";
constexpr const char* kUserNameKey = "UserName";
constexpr const char* kRmcpSupportingKey = "RMCPSupporting";
constexpr const char* kRmtAdminKey = "RmtAdminSupport";
constexpr const char* kAvailableRmcpsKey = "AvailableRMCPs";
constexpr const char* kTargetIPKey = "IP";
constexpr const char* kTargetMACKey = "MAC";

int32_t ToInt32(long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// As the store reads a value into a field: cut to the field's size.
void CopyCut(char* buf, size_t size, const char* text) {
  const size_t length = std::min(std::strlen(text), size - 1);
  std::memcpy(buf, text, length);
  buf[length] = '\0';
}

void TargetSectionName(int index, char* buf, size_t size) {
  std::snprintf(buf, size, "Target_%d", index + 1);
}

// A target address as the file keeps it: placeholders mean "no target".
const char* FileIP(const char* text) { return IsPlaceholderIP(text) ? "" : text; }
const char* FileMac(const char* text) { return IsPlaceholderMac(text) ? "" : text; }

}  // namespace

CBMCLanConf::CBMCLanConf()
    : sendEvent_(0),
      shutdownIfTempHigh_(0),
      asrEnabled_(0),
      asrTimer_(0),
      asrAction_(0),
      userName_{},
      password_{},
      availableRmcp1_{},
      availableRmcp2_{},
      rmcpSupporting_{},
      rmtAdminSupport_{"NONE"} {}

CBMCLanConf::~CBMCLanConf() {
  volatile char* p = password_;
  for (size_t i = 0; i < sizeof password_; ++i) p[i] = '\0';
}

bool CBMCLanConf::SetUserName(const char* name) {
  return CopyText(userName_, sizeof userName_, name);
}
bool CBMCLanConf::SetPassword(const char* password) {
  return CopyText(password_, sizeof password_, password);
}
bool CBMCLanConf::SetAvailableRMCP1(const char* text) {
  return CopyText(availableRmcp1_, sizeof availableRmcp1_, text);
}
bool CBMCLanConf::SetAvailableRMCP2(const char* text) {
  return CopyText(availableRmcp2_, sizeof availableRmcp2_, text);
}
bool CBMCLanConf::SetRMCPSupporting(const char* text) {
  return CopyText(rmcpSupporting_, sizeof rmcpSupporting_, text);
}
bool CBMCLanConf::SetRmtAdminSupport(const char* text) {
  return CopyText(rmtAdminSupport_, sizeof rmtAdminSupport_, text);
}

int CBMCLanConf::GetFromFile(_CfgFile* given) {
  mgmt::bmc::CfgScope scope(given, mgmt::bmc::kIpmiConfPath, mgmt::bmc::CfgScope::Use::kRead);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return 0;

  sendEvent_ = ReadCfgNumber(cfg, kIpmiConfigSection, kSendEventKey) != 0 ? 1 : 0;
  shutdownIfTempHigh_ = ReadCfgNumber(cfg, kIpmiConfigSection, kShutdownKey) != 0 ? 1 : 0;
  asrEnabled_ = ReadCfgNumber(cfg, kWatchdogSection, kAsrEnabledKey) != 0 ? 1 : 0;
  asrTimer_ = ToInt32(ReadCfgNumber(cfg, kWatchdogSection, kAsrTimerKey));
  asrAction_ = ToInt32(ReadCfgNumber(cfg, kWatchdogSection, kAsrActionKey));
  // A missing text key keeps the value held (a new object's default).
  CfgReadString(cfg, kUserInfoSection, kUserNameKey, userName_, sizeof userName_);
  CfgReadString(cfg, kRmcpConfigSection, kRmcpSupportingKey, rmcpSupporting_,
                sizeof rmcpSupporting_);
  CfgReadString(cfg, kRmcpConfigSection, kRmtAdminKey, rmtAdminSupport_, sizeof rmtAdminSupport_);

  // "AvailableRMCPs" holds two words: the first up to the first blank, the
  // second everything after it.
  char rmcps[100];
  CfgReadStringDef(cfg, kRmcpConfigSection, kAvailableRmcpsKey, rmcps, sizeof rmcps, "");
  char* blank = std::strchr(rmcps, ' ');
  const char* second = "";
  if (blank != nullptr) {
    *blank = '\0';
    second = blank + 1;
  }
  CopyCut(availableRmcp1_, sizeof availableRmcp1_, rmcps);
  CopyCut(availableRmcp2_, sizeof availableRmcp2_, second);

  for (int i = 0; i < CEventTargets::kCount; ++i) {
    char section[16];
    TargetSectionName(i, section, sizeof section);
    char ip[CEventTargets::kIPSize];
    char mac[CEventTargets::kMACSize];
    CfgReadStringDef(cfg, section, kTargetIPKey, ip, sizeof ip, "");
    CfgReadStringDef(cfg, section, kTargetMACKey, mac, sizeof mac, "");
    targets_.SetTargetIPAt(i, ip);
    targets_.SetTargetMACAt(i, mac);
  }
  return 0;
}

int CBMCLanConf::GetFromFile(_CfgFile* cfg, CChannelConf* channels) {
  GetFromFile(cfg);
  if (channels != nullptr) {
    for (int c = 0; c < kChannelCount; ++c) {
      if (channels[c].GetIsChannel() && channels[c].GetLanRead()) channels[c].Targets() = targets_;
    }
  }
  return -1;
}

int CBMCLanConf::Set2File(_CfgFile* given) const {
  for (int i = 0; i < CEventTargets::kCount; ++i) {
    const char* ip = FileIP(targets_.GetTargetIPAt(i));
    const char* mac = FileMac(targets_.GetTargetMACAt(i));
    if ((ip[0] != '\0' && !IsValidIPv4(ip)) || (mac[0] != '\0' && !IsValidMacText(mac))) return -1;
  }
  mgmt::bmc::CfgScope scope(given, mgmt::bmc::kIpmiConfPath, mgmt::bmc::CfgScope::Use::kWrite);
  _CfgFile* cfg = scope.Get();
  if (cfg == nullptr) return -1;

  int failed = 0;
  failed |= WriteCfgNumber(cfg, kIpmiConfigSection, kSendEventKey, sendEvent_);
  failed |= WriteCfgNumber(cfg, kIpmiConfigSection, kShutdownKey, shutdownIfTempHigh_);
  failed |= WriteCfgNumber(cfg, kWatchdogSection, kAsrEnabledKey, asrEnabled_);
  failed |= WriteCfgNumber(cfg, kWatchdogSection, kAsrTimerKey, asrTimer_);
  failed |= WriteCfgNumber(cfg, kWatchdogSection, kAsrActionKey, asrAction_);
  failed |= CfgWriteString(cfg, kUserInfoSection, kUserNameKey, userName_);
  failed |= CfgWriteString(cfg, kRmcpConfigSection, kRmcpSupportingKey, rmcpSupporting_);
  failed |= CfgWriteString(cfg, kRmcpConfigSection, kRmtAdminKey, rmtAdminSupport_);
  const std::string rmcps = std::string(availableRmcp1_) + " " + availableRmcp2_;
  failed |= CfgWriteString(cfg, kRmcpConfigSection, kAvailableRmcpsKey, rmcps.c_str());
  for (int i = 0; i < CEventTargets::kCount; ++i) {
    char section[16];
    TargetSectionName(i, section, sizeof section);
    failed |= CfgWriteString(cfg, section, kTargetIPKey, FileIP(targets_.GetTargetIPAt(i)));
    failed |= CfgWriteString(cfg, section, kTargetMACKey, FileMac(targets_.GetTargetMACAt(i)));
  }
  if (failed != 0) return -1;
  return scope.FlushIfOwn();
}

void CBMCLanConf::GetFromBMC(CChannelConf* channels) {
  if (channels == nullptr) return;
  int collected = 0;
  int destinations = 0;
  for (int c = 0; c < kChannelCount; ++c) {
    const CChannelConf& channel = channels[c];
    if (!channel.GetIsChannel() || !channel.GetLanRead()) continue;
    destinations += channel.GetNumTargets();
    for (int t = 0; t < channel.GetNumTargets() && t < CEventTargets::kCount; ++t) {
      const char* ip = channel.Targets().GetTargetIPAt(t);
      if (collected == CEventTargets::kCount || ip[0] == '\0' || IsPlaceholderIP(ip)) continue;
      // The same destination on two channels is one trap target.
      bool seen = false;
      for (int k = 0; k < collected; ++k)
        seen = seen || std::strcmp(targets_.GetTargetIPAt(k), ip) == 0;
      if (seen) continue;
      targets_.SetTargetIPAt(collected, ip);
      targets_.SetTargetMACAt(collected, channel.Targets().GetTargetMACAt(t));
      ++collected;
    }
  }
  for (int k = collected; k < CEventTargets::kCount; ++k) {
    targets_.SetTargetIPAt(k, "255.255.255.255");
    targets_.SetTargetMACAt(k, "000000000000");
  }
  sendEvent_ = destinations > 0 ? 1 : 0;
  // On these two platforms the BMC's alerts are not used.
  if (mgmt::bmc::ModelIs("corvid_hazel") || mgmt::bmc::ModelIs("corvid_ivy")) sendEvent_ = 0;
}

int CBMCLanConf::Set2BMC() { return 0; }
