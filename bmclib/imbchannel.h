// The LAN settings of one BMC channel, kept in a "Channel_N" section of
// bmcchannel.conf and in the channel's LAN configuration parameters.
#ifndef MGMT_BMCLIB_IMBCHANNEL_H
#define MGMT_BMCLIB_IMBCHANNEL_H

#include <cstddef>
#include <cstdint>

#include "cfgfile.h"
#include "imbtar.h"

struct netconf_t;

class CChannelConf {
 public:
  static constexpr size_t kIPSize = 16;
  static constexpr size_t kMACSize = 20;
  static constexpr size_t kRmcpSize = 20;

  /// Channel 0, nothing present: empty addresses and targets, every count and
  /// flag 0, RMCP+ support "false". The IP source is set by the first read.
  CChannelConf();
  explicit CChannelConf(uint8_t channel);

  /// Reads section "Channel_N" from `cfg`, or from bmcchannel.conf when `cfg` is
  /// null (a file that cannot be read changes nothing). Missing numbers read as
  /// 0, missing texts keep their value. A MAC of "ffffffffffff" marks the
  /// channel absent whatever "IsChannel" says. @return 0.
  int GetFromFile(_CfgFile* cfg);
  /// Writes the section of a present channel into `cfg` or bmcchannel.conf;
  /// an absent channel writes nothing. Nothing is written when an address or
  /// the IP source is invalid. @return 0 or -1.
  int Set2File(_CfgFile* cfg) const;
  /// Writes "IsChannel=0" for the channel and nothing else (a channel the BMC
  /// no longer offers). @return 0 or -1.
  int MarkAbsentInFile(_CfgFile* cfg) const;

  /// How a read from the BMC ended.
  enum class BmcRead {
    kRead,         ///< a LAN channel with administrator authentication: read
    kAbsent,       ///< no such LAN channel (or no administrator authentication)
    kNoTransport,  ///< the BMC did not answer; what was read so far is kept
  };
  /// Reads the channel from the BMC: its LAN parameters, alert destinations
  /// (up to three), IP source capability and RMCP+ support. A channel that is
  /// not a LAN channel with administrator authentication is left as it was.
  BmcRead ReadFromBMC();
  void GetFromBMC() { ReadFromBMC(); }

  /// Writes a present channel to the BMC. Targets only: the alert destinations
  /// the BMC offers (beyond three cleared, then the held targets from the last
  /// down). Otherwise the IP source and, when static, the address, netmask and
  /// gateway, PEF alerting on the channel, and a cold reset. Every address is
  /// checked first: an invalid one writes nothing at all.
  /// @return 0, -1 (invalid address or no answer), or the completion code of
  /// the first refused write.
  int ApplyToBMC(bool targetsOnly);
  /// ApplyToBMC without its outcome. @return 0.
  int Set2BMC(bool targetsOnly) {
    ApplyToBMC(targetsOnly);
    return 0;
  }
  /// Sends the stored channel access triple (present channels only).
  /// @return the request's result, or 0.
  int SetAccess2BMC();
  /// Sets the triple SetAccess2BMC sends: access byte and privilege-limit byte.
  void SetAccess(uint8_t accessByte, uint8_t privilegeLimit);
  /// True when the BMC calls the channel 802.3 LAN with sessions.
  bool IsLanChannel();
  /// For a present channel with IP source 3: when a host adapter has the
  /// channel's MAC and another IP than the channel, the adapter's address and
  /// netmask and the gateway go to the BMC and then to bmcchannel.conf.
  /// Adapters without a MAC are passed over; the list ends at `count` or at
  /// an entry without IP and MAC. @return 0, or -1 when a write failed.
  int SynchBMCIP(const netconf_t* adapters, int count, const char* gatewayIp,
                 const char* gatewayMac);

  uint8_t GetChannel() const { return channel_; }
  void SetChannel(uint8_t channel) { channel_ = channel; }
  uint8_t GetIPSource() const { return ipSource_; }
  void SetIPSource(uint8_t source) { ipSource_ = source; }
  uint8_t GetIPSourceCap() const { return ipSourceCap_; }
  void SetIPSourceCap(uint8_t capability) { ipSourceCap_ = capability; }
  uint8_t GetNumTargets() const { return numTargets_; }
  void SetNumTargets(uint8_t count) { numTargets_ = count; }
  bool GetIsChannel() const { return isChannel_ != 0; }
  void SetIsChannel(bool present) { isChannel_ = present ? 1 : 0; }
  /// Set once the channel was read from the BMC.
  bool GetLanRead() const { return lanRead_ != 0; }
  void SetLanRead(bool read) { lanRead_ = read ? 1 : 0; }

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
  const char* GetSupportRmcpPlus() const { return supportRmcpPlus_; }
  bool SetSupportRmcpPlus(const char* text);

  CEventTargets& Targets() { return targets_; }
  const CEventTargets& Targets() const { return targets_; }
  /// LAN parameter 2 (authentication type enables) as read from the BMC.
  const uint8_t* GetAuthTypeEnables() const { return authTypeEnables_; }

 private:
  /// The address keys of the channel's section in bmcchannel.conf.
  int WriteAddressesToFile() const;

  uint8_t channel_;
  uint8_t ipSource_;
  uint8_t ipSourceCap_;
  uint8_t numTargets_;
  uint8_t isChannel_;
  uint8_t lanRead_;
  char ip_[kIPSize];
  char mac_[kMACSize];
  char netmask_[kIPSize];
  char gatewayIp_[kIPSize];
  char gatewayMac_[kMACSize];
  uint8_t access_[3];
  uint8_t authTypeEnables_[5];
  CEventTargets targets_;
  char supportRmcpPlus_[kRmcpSize];
};

/// The section name of a channel: "Channel_N".
void ChannelSectionName(uint8_t channel, char* buf, size_t size);

#endif
