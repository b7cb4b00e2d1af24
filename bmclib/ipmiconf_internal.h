// Internal to the IPMI configuration commands: one request to the BMC with a
// reply buffer as large as the IMB layer can fill.
#ifndef MGMT_BMCLIB_IPMICONF_INTERNAL_H
#define MGMT_BMCLIB_IPMICONF_INTERNAL_H

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "imbapi.h"

namespace mgmt::bmc {

inline constexpr BYTE kBmcAddress = 0x20;
inline constexpr BYTE kNetFnSensorEvent = 0x04;
inline constexpr BYTE kNetFnApp = 0x06;
inline constexpr BYTE kNetFnTransport = 0x0C;

// Command numbers used by more than one of the configuration files.
inline constexpr BYTE kCmdSetLanConf = 0x01;
inline constexpr BYTE kCmdGetLanConf = 0x02;
inline constexpr BYTE kCmdSetPefConf = 0x12;
inline constexpr BYTE kCmdGetPefConf = 0x13;
inline constexpr BYTE kCmdSetChannelAccess = 0x40;
inline constexpr BYTE kCmdGetChannelAccess = 0x41;
inline constexpr BYTE kCmdGetChannelInfo = 0x42;

// LAN configuration parameter numbers.
inline constexpr BYTE kLanAuthTypeEnables = 2;
inline constexpr BYTE kLanIp = 3;
inline constexpr BYTE kLanIpSource = 4;
inline constexpr BYTE kLanMac = 5;
inline constexpr BYTE kLanSubnetMask = 6;
inline constexpr BYTE kLanGatewayIp = 12;
inline constexpr BYTE kLanGatewayMac = 13;
inline constexpr BYTE kLanBackupGatewayIp = 14;
inline constexpr BYTE kLanBackupGatewayMac = 15;
inline constexpr BYTE kLanDestCount = 17;
inline constexpr BYTE kLanDestAddress = 19;

/// Result of one request: DoIpmiRequest's code and, on 0, the reply data.
struct IpmiReply {
  int rc = -1;
  std::array<BYTE, IMB_MAX_RESPONSE_DATA> buffer{};
  int length = 0;

  bool Ok() const { return rc == 0; }
  bool TransportFailed() const { return rc < 0; }
  std::span<const BYTE> Data() const { return {buffer.data(), static_cast<size_t>(length)}; }
  /// True when the reply holds byte `index`.
  bool Has(size_t index) const { return Ok() && index < static_cast<size_t>(length); }
};

/// Sends one request with FillRequest and DoIpmiRequest (1 s asked, the IMB
/// layer's floor applies). More than IMB_MAX_REQUEST_DATA bytes are not sent.
IpmiReply Request(BYTE netFn, BYTE cmd, std::span<const BYTE> data = {});
inline IpmiReply Request(BYTE netFn, BYTE cmd, std::initializer_list<BYTE> data) {
  return Request(netFn, cmd, std::span<const BYTE>(data.begin(), data.size()));
}

/// One LAN configuration parameter: `length` bytes after the revision byte, or
/// nothing when refused or too short. `transportFailed` tells the caller to end
/// its sequence.
std::optional<std::vector<BYTE>> ReadLanParameter(BYTE channel, BYTE parameter, BYTE setSelector,
                                                  size_t length, bool& transportFailed);

/// Overwrites a buffer that held a secret so it does not linger on the stack.
void WipeSecret(std::span<BYTE> buffer);

}  // namespace mgmt::bmc

#endif
