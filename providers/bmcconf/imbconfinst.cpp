#include "imbconfinst.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/spawn.h"
#include "bmcconfprovmain.h"
#include "bmcpaths.h"
#include "cfghandle.h"
#include "confcheck.h"
#include "imbchannel.h"
#include "imblanconf.h"
#include "installroot.h"
#include "util.h"

namespace Pegasus {
namespace {

using mgmt::bmcconf::IsIPv4OrEmpty;
using mgmt::bmcconf::IsPrintableAscii;
using mgmt::bmcconf::LogRefused;
using mgmt::bmcconf::LogSafe;
using mgmt::bmcconf::NormalisedMac;

/// The channels the configuration knows, in the order they fill the slots.
constexpr uint8_t kChannelNumbers[CBMCLanConf::kChannelCount] = {0, 1, 2, 3, 4, 5, 6, 7, 15};

std::string Utf8(const String& s) { return std::string(static_cast<const char*>(s.getCString())); }

void Add(CIMInstance& instance, const char* name, const CIMValue& value) {
  instance.addProperty(CIMProperty(CIMName(name), value));
}

Uint16 ToUint16(long value) { return static_cast<Uint16>(std::clamp(value, 0L, 0xFFFFL)); }

/// A scalar value of the expected type; anything else is logged and skipped.
bool IsScalar(const CIMValue& value, CIMType type, const char* cls, const char* property) {
  if (value.getType() == type && !value.isArray()) return true;
  LogRefused(cls, property, std::string("not a ") + cimTypeToString(type));
  return false;
}

/// The text of a string property, when it is one and fits `maxLength`.
bool TextValue(const CIMValue& value, size_t maxLength, const char* cls, const char* property,
               std::string& out) {
  if (!IsScalar(value, CIMTYPE_STRING, cls, property)) return false;
  String text;
  value.get(text);
  out = Utf8(text);
  if (out.size() > maxLength) {
    LogRefused(cls, property, "longer than " + std::to_string(maxLength) + " characters");
    return false;
  }
  return true;
}

/// An IPv4 address (or empty) of at most 15 characters.
bool AddressValue(const CIMValue& value, const char* cls, const char* property, std::string& out) {
  if (!TextValue(value, 15, cls, property, out)) return false;
  if (IsIPv4OrEmpty(out)) return true;
  LogRefused(cls, property, "\"" + LogSafe(out) + "\" is no IPv4 address");
  return false;
}

/// A MAC address (or empty), normalised to twelve lower-case digits.
bool MacValue(const CIMValue& value, const char* cls, const char* property, std::string& out) {
  if (!TextValue(value, 19, cls, property, out)) return false;
  const std::optional<std::string> mac = NormalisedMac(out);
  if (!mac) {
    LogRefused(cls, property, "\"" + LogSafe(out) + "\" is no MAC address");
    return false;
  }
  out = *mac;
  return true;
}

bool BoolValue(const CIMValue& value, const char* cls, const char* property, bool& out) {
  if (!IsScalar(value, CIMTYPE_BOOLEAN, cls, property)) return false;
  Boolean b = false;
  value.get(b);
  out = b;
  return true;
}

/// A uint16 value of at most `max`.
bool Uint16Value(const CIMValue& value, Uint16 max, const char* cls, const char* property,
                 Uint16& out) {
  if (!IsScalar(value, CIMTYPE_UINT16, cls, property)) return false;
  Uint16 n = 0;
  value.get(n);
  if (n > max) {
    LogRefused(cls, property, std::to_string(n) + " is above " + std::to_string(max));
    return false;
  }
  out = n;
  return true;
}

void Copy(char* field, size_t size, const char* text) { CopyText(field, size, text); }

/// Starts bmcsetup with `args` after its path; `why` gets the failure.
bool StartBmcSetup(std::vector<std::string> args, std::string_view input, std::string* why) {
  args.insert(args.begin(), mgmt::RootPath(mgmt::bmc::kBmcSetupPath));
  // Detached: the tool outlives the request and never becomes a zombie of the
  // server; the password comes on its standard input, never in its arguments.
  mgmt::base::ChildOptions options;
  options.detached = true;
  options.input = std::string(input);
  const mgmt::base::ChildResult result = mgmt::base::RunChild(args, options);
  if (result.started) return true;
  if (why != nullptr) *why = "bmcsetup could not be started (" + result.ErrorText() + ")";
  return false;
}

}  // namespace

String ConfText(const char* text) {
  try {
    return String(text);
  } catch (const Exception&) {
    std::string ascii(text);
    for (char& c : ascii) {
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return String(ascii.c_str());
  }
}

void GetIPMIVersion(Uint16 platform, const char* platformText, int* major, int* minor) {
  *major = 0;
  *minor = 0;
  if (platform == 2) {
    *major = 1;
    *minor = 5;
  } else if (platform == 1) {
    *major = 1;
  } else if (platformText != nullptr && std::strlen(platformText) >= 4) {
    int a = 0, b = 0;
    if (std::sscanf(platformText + 4, "%d.%d", &a, &b) == 2) {
      *major = a;
      *minor = b;
    }
  }
}

void formStringArray(Array<String>& out, const char* first, int count, size_t stride) {
  out.clear();
  for (int i = 0; i < count; ++i) {
    const char* text = first + static_cast<size_t>(i) * stride;
    if (text[0] == '\0') break;
    out.append(ConfText(text));
  }
}

// --- IPMIChannelConf -----------------------------------------------------------

IPMIChannelConf::IPMIChannelConf()
    : enabled_(true),
      channel_(kUnused),
      ipSourceCap_(2),
      ipSource_(0),
      ip_{},
      mac_{},
      netmask_{},
      gatewayIp_{},
      gatewayMac_{},
      backupGatewayIp_{},
      backupGatewayMac_{},
      targetIp_{},
      targetMac_{} {}

bool IPMIChannelConf::SetIP(const char* text) { return CopyText(ip_, sizeof ip_, text); }
bool IPMIChannelConf::SetMAC(const char* text) { return CopyText(mac_, sizeof mac_, text); }
bool IPMIChannelConf::SetNetmask(const char* text) {
  return CopyText(netmask_, sizeof netmask_, text);
}
bool IPMIChannelConf::SetGatewayIP(const char* text) {
  return CopyText(gatewayIp_, sizeof gatewayIp_, text);
}
bool IPMIChannelConf::SetGatewayMAC(const char* text) {
  return CopyText(gatewayMac_, sizeof gatewayMac_, text);
}
bool IPMIChannelConf::SetTarget(int index, const char* ip, const char* mac) {
  if (index < 0 || index >= 3) return false;
  return CopyText(targetIp_[index], kIPSize, ip) && CopyText(targetMac_[index], kMACSize, mac);
}

ConfSave IPMIChannelConf::SetConfig(unsigned, std::string* why) {
  mgmt::bmc::CfgScope scope(nullptr, mgmt::bmc::kBmcChannelConfPath,
                            mgmt::bmc::CfgScope::Use::kWrite);
  if (scope.Get() == nullptr) {
    if (why != nullptr) *why = "bmcchannel.conf cannot be read, so it is not written over";
    return ConfSave::kNotWritten;
  }
  // What the class does not publish (alert destinations, RMCP+ support) stays
  // as the file has it.
  const uint8_t number = static_cast<uint8_t>(channel_ & 0xFF);
  CChannelConf conf(number);
  conf.GetFromFile(scope.Get());
  conf.SetIsChannel(true);
  conf.SetIPSourceCap(static_cast<uint8_t>(ipSourceCap_ & 0xFF));
  conf.SetIPSource(static_cast<uint8_t>(ipSource_ & 0xFF));
  conf.SetIP(ip_);
  conf.SetMAC(mac_);
  conf.SetNetmask(netmask_);
  conf.SetGatewayIP(gatewayIp_);
  conf.SetGatewayMAC(gatewayMac_);
  if (conf.Set2File(scope.Get()) != 0 || scope.FlushIfOwn() != 0) {
    if (why != nullptr) *why = "bmcchannel.conf cannot be written";
    return ConfSave::kNotWritten;
  }
  if (!StartBmcSetup({"-c", std::to_string(number)}, "", why)) return ConfSave::kToolNotStarted;
  return ConfSave::kDone;
}

bool IPMIChannelConf::formInstance(CIMInstance& instance) const {
  if (channel_ == kUnused) return false;
  Add(instance, "BMC_Enabled", CIMValue(Boolean(enabled_)));
  Add(instance, "BMC_Channel", CIMValue(channel_));
  Add(instance, "BMC_IpAddressSourceCap", CIMValue(ipSourceCap_));
  Add(instance, "BMC_IpAddressSource", CIMValue(ipSource_));
  Add(instance, "BMC_Ip", CIMValue(ConfText(ip_)));
  Add(instance, "BMC_Mac", CIMValue(ConfText(mac_)));
  Add(instance, "BMC_SubnetMask", CIMValue(ConfText(netmask_)));
  Add(instance, "BMC_GatewayIp", CIMValue(ConfText(gatewayIp_)));
  Add(instance, "BMC_GatewayMac", CIMValue(ConfText(gatewayMac_)));
  return true;
}

void IPMIChannelConf::ApplyInstance(const CIMInstance& instance) {
  const char* cls = kChannelConfigurationClass;
  for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
    const CIMConstProperty property = instance.getProperty(i);
    const String name = property.getName().getString();
    const CIMValue& value = property.getValue();
    if (value.isNull()) continue;
    std::string text;
    if (name == "BMC_Ip") {
      if (AddressValue(value, cls, "BMC_Ip", text)) SetIP(text.c_str());
    } else if (name == "BMC_Mac") {
      if (MacValue(value, cls, "BMC_Mac", text)) SetMAC(text.c_str());
    } else if (name == "BMC_SubnetMask") {
      if (AddressValue(value, cls, "BMC_SubnetMask", text)) SetNetmask(text.c_str());
    } else if (name == "BMC_GatewayIp") {
      if (AddressValue(value, cls, "BMC_GatewayIp", text)) SetGatewayIP(text.c_str());
    } else if (name == "BMC_GatewayMac") {
      if (MacValue(value, cls, "BMC_GatewayMac", text)) SetGatewayMAC(text.c_str());
    } else if (name == "BMC_IpAddressSource") {
      Uint16Value(value, 4, cls, "BMC_IpAddressSource", ipSource_);
    } else if (name == "BMC_Enabled") {
      BoolValue(value, cls, "BMC_Enabled", enabled_);
    }
  }
}

// --- IPMIConf ------------------------------------------------------------------

IPMIConf::IPMIConf()
    : name_(kSingleInstanceName),
      platform_(kNoPlatform),
      shutdownTempHigh_(true),
      trapIp_{},
      trapMac_{},
      scheduledPowerOn_(false),
      userName_{},
      password_{},
      availableRmcp_{},
      rmcpSupporting_{},
      rmtAdminSupport_{"NONE"},
      asrEnabled_(false),
      asrTimeOut_(300),
      asrAction_(0),
      sendEvents_(false) {}

IPMIConf::~IPMIConf() { ForgetPassword(); }

void IPMIConf::ForgetPassword() {
  volatile char* p = password_;
  for (size_t i = 0; i < sizeof password_; ++i) p[i] = '\0';
}

void IPMIConf::GetConfig(unsigned) {
  CChannelConf channels[CBMCLanConf::kChannelCount];
  for (int c = 0; c < CBMCLanConf::kChannelCount; ++c) channels[c].SetChannel(kChannelNumbers[c]);
  {
    mgmt::bmc::CfgHandle file(CfgOpen(mgmt::bmc::kBmcChannelConfPath));
    if (file != nullptr) {
      for (CChannelConf& channel : channels) channel.GetFromFile(file.get());
    }
  }
  CBMCLanConf lan;
  lan.GetFromFile(nullptr, channels);

  asrAction_ = ToUint16(lan.GetAsrAction());
  asrEnabled_ = lan.GetAsrEnabled();
  asrTimeOut_ = ToUint16(lan.GetAsrTimer());
  sendEvents_ = lan.GetBMCSendEvent();
  shutdownTempHigh_ = lan.GetShutdownIfTempHigh();
  Copy(userName_, sizeof userName_, lan.GetUserName());
  Copy(password_, sizeof password_, lan.GetPassword());
  Copy(availableRmcp_[0], kRmcpSize, lan.GetAvailableRMCP1());
  Copy(availableRmcp_[1], kRmcpSize, lan.GetAvailableRMCP2());
  Copy(rmcpSupporting_, sizeof rmcpSupporting_, lan.GetRMCPSupporting());
  Copy(rmtAdminSupport_, sizeof rmtAdminSupport_, lan.GetRmtAdminSupport());

  int slot = 0;
  for (const CChannelConf& channel : channels) {
    if (!channel.GetIsChannel() || slot == kSlots) continue;
    IPMIChannelConf& to = channels_[slot++];
    to.SetChannel(channel.GetChannel());
    to.SetIPSourceCap(channel.GetIPSourceCap());
    to.SetIPSource(channel.GetIPSource());
    to.SetIP(channel.GetIP());
    to.SetMAC(channel.GetMAC());
    to.SetNetmask(channel.GetNetmask());
    to.SetGatewayIP(channel.GetGatewayIP());
    to.SetGatewayMAC(channel.GetGatewayMAC());
    for (int t = 0; t < kTargets; ++t)
      to.SetTarget(t, lan.Targets().GetTargetIPAt(t), lan.Targets().GetTargetMACAt(t));
  }
  // A channel that left the file is no longer published.
  for (; slot < kSlots; ++slot) channels_[slot].Clear();

  for (int t = 0; t < kTargets; ++t) {
    Copy(trapIp_[t], kIPSize, lan.Targets().GetTargetIPAt(t));
    Copy(trapMac_[t], kMACSize, lan.Targets().GetTargetMACAt(t));
  }
}

ConfSave IPMIConf::SetConfig(unsigned, std::string* why) {
  struct Forget {
    IPMIConf* conf;
    ~Forget() { conf->ForgetPassword(); }
  } forget{this};

  CBMCLanConf lan;
  lan.SetAsrAction(asrAction_);
  lan.SetAsrEnabled(asrEnabled_);
  lan.SetAsrTimer(asrTimeOut_);
  lan.SetBMCSendEvent(sendEvents_);
  lan.SetShutdownIfTempHigh(shutdownTempHigh_);
  lan.SetUserName(userName_);
  lan.SetPassword(password_);
  lan.SetAvailableRMCP1(availableRmcp_[0]);
  lan.SetAvailableRMCP2(availableRmcp_[1]);
  lan.SetRMCPSupporting(rmcpSupporting_);
  lan.SetRmtAdminSupport(rmtAdminSupport_);
  for (int t = 0; t < kTargets; ++t) {
    lan.Targets().SetTargetIPAt(t, trapIp_[t]);
    lan.Targets().SetTargetMACAt(t, trapMac_[t]);
  }
  if (lan.Set2File(nullptr) != 0) {
    if (why != nullptr) *why = "ipmi.conf cannot be written";
    return ConfSave::kNotWritten;
  }
  // The password travels on bmcsetup's standard input, never on its command line.
  std::string input = std::string(password_) + "\n";
  const bool started = StartBmcSetup({"-g", "-n", userName_, "-p", "-"}, input, why);
  std::fill(input.begin(), input.end(), '\0');
  return started ? ConfSave::kDone : ConfSave::kToolNotStarted;
}

bool IPMIConf::formInstance(CIMInstance& instance) const {
  if (platform_ == kNoPlatform) return false;
  Add(instance, "Name", CIMValue(name_));
  Add(instance, "Platform", CIMValue(platform_));
  int major = 0, minor = 0;
  const std::string other = Utf8(platformOther_);
  GetIPMIVersion(platform_, other.c_str(), &major, &minor);
  if ((major == 1 && minor > 4) || major > 1) {
    Array<String> addresses;
    formStringArray(addresses, trapIp_[0], kTargets, kIPSize);
    Add(instance, "EventTrapAddress", CIMValue(addresses));
  }
  Add(instance, "ScheduledPowerOn_Enabled", CIMValue(Boolean(scheduledPowerOn_)));
  Add(instance, "BMC_Password", CIMValue(String()));
  Add(instance, "ASR_Enabled", CIMValue(Boolean(asrEnabled_)));
  Add(instance, "ASR_WatchdogTimeOut", CIMValue(asrTimeOut_));
  Add(instance, "ASR_Action", CIMValue(asrAction_));
  Add(instance, "ShutdownTempHigh", CIMValue(Boolean(shutdownTempHigh_)));
  Add(instance, "BMC_UserName", CIMValue(ConfText(userName_)));
  Add(instance, "Platform_Other", CIMValue(platformOther_));
  Add(instance, "RMCPSupporting", CIMValue(ConfText(rmcpSupporting_)));
  return true;
}

void IPMIConf::ApplyTrapAddresses(const Array<String>& addresses) {
  std::string texts[kTargets];
  for (Uint32 i = 0; i < addresses.size() && i < static_cast<Uint32>(kTargets); ++i) {
    texts[i] = Utf8(addresses[i]);
    if (texts[i].size() > 15 || !IsIPv4OrEmpty(texts[i])) {
      LogRefused(kIpmiConfigurationClass, "EventTrapAddress",
                 "\"" + LogSafe(texts[i]) + "\" is no IPv4 address");
      return;
    }
  }
  for (int t = 0; t < kTargets; ++t) {
    if (texts[t] == trapIp_[t]) continue;
    Copy(trapIp_[t], kIPSize, texts[t].c_str());
    // The old target's MAC would send the new target's traps to the old
    // machine; bmcsetup looks the new one up when none is given.
    trapMac_[t][0] = '\0';
  }
}

void IPMIConf::ApplyInstance(const CIMInstance& instance) {
  const char* cls = kIpmiConfigurationClass;
  for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
    const CIMConstProperty property = instance.getProperty(i);
    const String name = property.getName().getString();
    const CIMValue& value = property.getValue();
    if (value.isNull()) continue;
    std::string text;
    if (name == "BMC_UserName") {
      // Empty, like the password, leaves the BMC's user as it is (bmcsetup
      // takes an empty name so), and the file keeps naming that user.
      if (!TextValue(value, kUserSize - 1, cls, "BMC_UserName", text) || text.empty()) continue;
      if (!IsPrintableAscii(text)) {
        LogRefused(cls, "BMC_UserName", "\"" + LogSafe(text) + "\" is not printable ASCII");
      } else if (text.starts_with('-')) {
        // bmcsetup would read it as one of its options.
        LogRefused(cls, "BMC_UserName", "\"" + LogSafe(text) + "\" begins with \"-\"");
      } else {
        Copy(userName_, sizeof userName_, text.c_str());
      }
    } else if (name == "BMC_Password") {
      // An empty password (what every read of the instance shows) leaves the
      // BMC's password as it is.
      if (!TextValue(value, kUserSize - 1, cls, "BMC_Password", text)) continue;
      if (!IsPrintableAscii(text)) {
        LogRefused(cls, "BMC_Password", "not printable ASCII");
      } else {
        Copy(password_, sizeof password_, text.c_str());
      }
      std::fill(text.begin(), text.end(), '\0');
    } else if (name == "RmtAdminSupport") {
      if (!TextValue(value, kRmcpSize - 1, cls, "RmtAdminSupport", text)) continue;
      if (!IsPrintableAscii(text)) {
        LogRefused(cls, "RmtAdminSupport", "\"" + LogSafe(text) + "\" is not printable ASCII");
      } else {
        Copy(rmtAdminSupport_, sizeof rmtAdminSupport_, text.c_str());
      }
    } else if (name == "EventTrapAddress") {
      if (value.getType() != CIMTYPE_STRING || !value.isArray()) {
        LogRefused(cls, "EventTrapAddress", "not an array of strings");
        continue;
      }
      Array<String> addresses;
      value.get(addresses);
      ApplyTrapAddresses(addresses);
    } else if (name == "ShutdownTempHigh") {
      BoolValue(value, cls, "ShutdownTempHigh", shutdownTempHigh_);
    } else if (name == "ASR_Enabled") {
      BoolValue(value, cls, "ASR_Enabled", asrEnabled_);
    } else if (name == "ASR_WatchdogTimeOut") {
      Uint16Value(value, kMaxWatchdogTimeOut, cls, "ASR_WatchdogTimeOut", asrTimeOut_);
    } else if (name == "ASR_Action") {
      Uint16Value(value, 3, cls, "ASR_Action", asrAction_);
    }
  }
}

}  // namespace Pegasus
