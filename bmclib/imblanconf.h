// The BMC-wide configuration: event sending, high-temperature shutdown, the
// watchdog (automatic server restart), the BMC user, RMCP texts and the three
// trap targets, kept in ipmi.conf. A plain value, copied whole.
#ifndef MGMT_BMCLIB_IMBLANCONF_H
#define MGMT_BMCLIB_IMBLANCONF_H

#include <cstddef>
#include <cstdint>

#include "cfgfile.h"
#include "imbtar.h"

class CChannelConf;

/// ipmi.conf sections and keys.
inline constexpr const char* kIpmiConfigSection = "IPMIConfig";
inline constexpr const char* kWatchdogSection = "Watchdog";
inline constexpr const char* kUserInfoSection = "UserInfo_1";
inline constexpr const char* kRmcpConfigSection = "RMCPConfig";

class CBMCLanConf {
 public:
  static constexpr size_t kUserNameSize = 17;  ///< 16 characters and NUL
  static constexpr size_t kPasswordSize = 17;
  static constexpr size_t kRmcpSize = 20;
  /// The channel objects the configuration works with: channels 0-7 and 15.
  static constexpr int kChannelCount = 9;

  /// Every flag and number 0, every text empty, remote administration "NONE".
  CBMCLanConf();
  /// Clears the password from memory.
  ~CBMCLanConf();
  CBMCLanConf(const CBMCLanConf&) = default;
  CBMCLanConf& operator=(const CBMCLanConf&) = default;

  /// Reads ipmi.conf from `cfg`, or from its own handle when `cfg` is null (a
  /// file that cannot be read then changes nothing). Missing numbers read as 0,
  /// missing targets and RMCP words as empty; the other texts keep their value.
  /// @return 0.
  int GetFromFile(_CfgFile* cfg);
  /// The same, then the trap targets go to every channel that is present and
  /// was read from the BMC. @return -1.
  int GetFromFile(_CfgFile* cfg, CChannelConf* channels);
  /// Writes every key but the password, in the file's key order, into `cfg` or
  /// its own handle (flushed and freed). Placeholder targets are written empty.
  /// Nothing is written when a target holds an invalid address.
  /// @return 0, or -1 when something could not be written (nothing is written
  /// over a file that exists but cannot be read).
  int Set2File(_CfgFile* cfg) const;
  /// Collects up to three trap targets from the channels read from the BMC and
  /// sets the send-events flag from them.
  void GetFromBMC(CChannelConf* channels);
  /// The BMC-wide settings have no BMC side of their own. @return 0.
  int Set2BMC();

  bool GetBMCSendEvent() const { return sendEvent_ != 0; }
  void SetBMCSendEvent(bool on) { sendEvent_ = on ? 1 : 0; }
  bool GetShutdownIfTempHigh() const { return shutdownIfTempHigh_ != 0; }
  void SetShutdownIfTempHigh(bool on) { shutdownIfTempHigh_ = on ? 1 : 0; }
  bool GetAsrEnabled() const { return asrEnabled_ != 0; }
  void SetAsrEnabled(bool on) { asrEnabled_ = on ? 1 : 0; }
  /// Watchdog time-out in seconds, as configured (not clamped).
  int32_t GetAsrTimer() const { return asrTimer_; }
  void SetAsrTimer(int32_t seconds) { asrTimer_ = seconds; }
  /// IPMI timer action: 0 none, 1 hard reset, 2 power down, 3 power cycle.
  int32_t GetAsrAction() const { return asrAction_; }
  void SetAsrAction(int32_t action) { asrAction_ = action; }

  CEventTargets& Targets() { return targets_; }
  const CEventTargets& Targets() const { return targets_; }

  const char* GetUserName() const { return userName_; }
  bool SetUserName(const char* name);
  /// Never read from or written to a file.
  const char* GetPassword() const { return password_; }
  bool SetPassword(const char* password);

  const char* GetAvailableRMCP1() const { return availableRmcp1_; }
  bool SetAvailableRMCP1(const char* text);
  const char* GetAvailableRMCP2() const { return availableRmcp2_; }
  bool SetAvailableRMCP2(const char* text);
  const char* GetRMCPSupporting() const { return rmcpSupporting_; }
  bool SetRMCPSupporting(const char* text);
  const char* GetRmtAdminSupport() const { return rmtAdminSupport_; }
  bool SetRmtAdminSupport(const char* text);

 private:
  uint8_t sendEvent_;
  uint8_t shutdownIfTempHigh_;
  uint8_t asrEnabled_;
  int32_t asrTimer_;
  int32_t asrAction_;
  CEventTargets targets_;
  char userName_[kUserNameSize];
  char password_[kPasswordSize];
  char availableRmcp1_[kRmcpSize];
  char availableRmcp2_[kRmcpSize];
  char rmcpSupporting_[kRmcpSize];
  char rmtAdminSupport_[kRmcpSize];
};

#endif
