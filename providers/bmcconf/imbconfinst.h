// The BMC configuration in the shape of the CIM classes HM_IPMIConfiguration
// (IPMIConf: the BMC-wide settings) and HM_BMCChannelConfiguration
// (IPMIChannelConf: one LAN channel). They read ipmi.conf and bmcchannel.conf
// through the BMC library's value classes, turn them into instances, take a
// client's changed properties (checked first), write the files back and start
// bmcsetup so that the BMC takes the change over.
#ifndef MGMT_PROVIDERS_BMCCONF_IMBCONFINST_H
#define MGMT_PROVIDERS_BMCCONF_IMBCONFINST_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

#include <cstddef>
#include <string>

namespace Pegasus {

/// How writing a configuration back ended.
enum class ConfSave {
  kDone,            ///< file written, bmcsetup started
  kNotWritten,      ///< the file could not be written; bmcsetup not started
  kToolNotStarted,  ///< file written, but bmcsetup could not be started
};

class IPMIChannelConf {
 public:
  static constexpr Uint16 kUnused = 0xFFFF;  ///< channel number of an empty slot
  static constexpr size_t kIPSize = 16;
  static constexpr size_t kMACSize = 20;

  IPMIChannelConf();
  /// Back to an empty slot.
  void Clear() { *this = IPMIChannelConf(); }

  /// Writes the slot's channel section of bmcchannel.conf (the keys the class
  /// does not publish keep what the file holds), then starts "bmcsetup -c N".
  /// The caller holds the configuration lock. `why` gets the reason of a failure.
  ConfSave SetConfig(unsigned reserved, std::string* why = nullptr);
  /// Adds the properties of the slot; false (nothing added) for an empty slot.
  bool formInstance(CIMInstance& instance) const;
  /// Takes the known properties of a client's instance, each checked; a value
  /// that is refused is logged and leaves the field as it was.
  void ApplyInstance(const CIMInstance& instance);

  Uint16 GetChannel() const { return channel_; }
  void SetChannel(Uint16 channel) { channel_ = channel; }
  bool GetEnabled() const { return enabled_; }
  Uint16 GetIPSourceCap() const { return ipSourceCap_; }
  void SetIPSourceCap(Uint16 cap) { ipSourceCap_ = cap; }
  Uint16 GetIPSource() const { return ipSource_; }
  void SetIPSource(Uint16 source) { ipSource_ = source; }
  const char* GetIP() const { return ip_; }
  bool SetIP(const char* text);
  const char* GetMAC() const { return mac_; }
  bool SetMAC(const char* text);
  const char* GetNetmask() const { return netmask_; }
  bool SetNetmask(const char* text);
  const char* GetGatewayIP() const { return gatewayIp_; }
  bool SetGatewayIP(const char* text);
  const char* GetGatewayMAC() const { return gatewayMac_; }
  bool SetGatewayMAC(const char* text);
  bool SetTarget(int index, const char* ip, const char* mac);

 private:
  bool enabled_;
  Uint16 channel_;
  Uint16 ipSourceCap_;
  Uint16 ipSource_;
  char ip_[kIPSize];
  char mac_[kMACSize];
  char netmask_[kIPSize];
  char gatewayIp_[kIPSize];
  char gatewayMac_[kMACSize];
  char backupGatewayIp_[kIPSize];
  char backupGatewayMac_[kMACSize];
  char targetIp_[3][kIPSize];
  char targetMac_[3][kMACSize];
};

class IPMIConf {
 public:
  static constexpr Uint16 kNoPlatform = 0xFFFF;
  static constexpr int kSlots = 4;
  static constexpr int kTargets = 3;
  static constexpr size_t kIPSize = 16;
  static constexpr size_t kMACSize = 20;
  static constexpr size_t kUserSize = 17;
  static constexpr size_t kRmcpSize = 20;
  /// The longest watchdog time-out in seconds the BMC can count (a 16-bit
  /// count of 100 ms).
  static constexpr Uint16 kMaxWatchdogTimeOut = 6553;

  IPMIConf();
  ~IPMIConf();
  IPMIConf(const IPMIConf&) = delete;
  IPMIConf& operator=(const IPMIConf&) = delete;

  /// Reads ipmi.conf and bmcchannel.conf: the BMC-wide settings, and the first
  /// four present channels (0-7, 15) into the slots; slots past the channels
  /// found are emptied. Missing files give the defaults.
  void GetConfig(unsigned reserved);
  /// Writes ipmi.conf from the fields, then starts "bmcsetup -g -n USER -p -"
  /// with the password on its standard input (an empty one leaves the BMC's
  /// password alone). The password is forgotten afterwards. The caller holds
  /// the configuration lock.
  ConfSave SetConfig(unsigned reserved, std::string* why = nullptr);
  /// Adds the properties of the instance; false (nothing added) while no
  /// platform is set.
  bool formInstance(CIMInstance& instance) const;
  /// Takes the known properties of a client's instance, each checked; a value
  /// that is refused is logged and leaves the field as it was.
  void ApplyInstance(const CIMInstance& instance);
  /// The trap test has no effect. @return true.
  bool TestTrap() const { return true; }
  /// The settings live in the configuration files only: nothing to load or save.
  void LoadSettings() {}
  void SaveSettings() {}

  Uint16 GetPlatform() const { return platform_; }
  void SetPlatform(Uint16 platform) { platform_ = platform; }
  const String& GetPlatformOther() const { return platformOther_; }
  void SetPlatformOther(const String& text) { platformOther_ = text; }
  IPMIChannelConf& Channel(int slot) { return channels_[slot]; }
  const IPMIChannelConf& Channel(int slot) const { return channels_[slot]; }

  bool GetShutdownTempHigh() const { return shutdownTempHigh_; }
  const char* GetTrapIP(int index) const { return trapIp_[index]; }
  const char* GetTrapMAC(int index) const { return trapMac_[index]; }
  const char* GetUserName() const { return userName_; }
  const char* GetPassword() const { return password_; }
  const char* GetRmtAdminSupport() const { return rmtAdminSupport_; }
  bool GetAsrEnabled() const { return asrEnabled_; }
  Uint16 GetAsrTimeOut() const { return asrTimeOut_; }
  Uint16 GetAsrAction() const { return asrAction_; }
  bool GetSendEvents() const { return sendEvents_; }

 private:
  void ApplyTrapAddresses(const Array<String>& addresses);
  void ForgetPassword();

  String name_;
  Uint16 platform_;
  bool shutdownTempHigh_;
  char trapIp_[kTargets][kIPSize];
  char trapMac_[kTargets][kMACSize];
  bool scheduledPowerOn_;
  String platformOther_;
  char userName_[kUserSize];
  char password_[kUserSize];
  char availableRmcp_[2][kRmcpSize];
  char rmcpSupporting_[kRmcpSize];
  char rmtAdminSupport_[kRmcpSize];
  bool asrEnabled_;
  Uint16 asrTimeOut_;
  Uint16 asrAction_;
  bool sendEvents_;
  IPMIChannelConf channels_[kSlots];
};

/// The IPMI version of a platform: 1.5 for platform 2, 1.0 for platform 1,
/// otherwise "%d.%d" read after the first four characters of `platformText`
/// ("IPMI2.0" gives 2.0); 0.0 when there is no such number.
void GetIPMIVersion(Uint16 platform, const char* platformText, int* major, int* minor);

/// Clears `out`, then appends the texts at first + i * stride for i below
/// `count`, stopping at the first empty one.
void formStringArray(Array<String>& out, const char* first, int count, size_t stride);

/// A broker string of a configuration text; bytes that are not UTF-8 (a file
/// edited by hand) become "?" rather than failing the whole request.
String ConfText(const char* text);

}  // namespace Pegasus

#endif
