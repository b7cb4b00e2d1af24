// IPMI configuration commands: LAN configuration parameters, Platform Event
// Filtering and alert policies, channel information and access, user names and
// passwords, channel security keys, RMCP+ capability, cold reset and the
// watchdog timer. Each function sends one or a few requests to the BMC (address
// 0x20, bus 0, LUN 0) through the IMB driver interface.
//
// Results follow DoIpmiRequest: 0 success, -1 transport failure, otherwise the
// BMC's completion code. Reply bytes are counted after the completion code.
// A transport failure ends a sequence of requests at once: a BMC that does not
// answer would otherwise cost the full time-out of every remaining request.
//
// The channel and LAN tables (g_channels, g_lanconfs) are process-wide and meant
// for one thread; everything else may be called from any thread.
#ifndef MGMT_BMCLIB_IPMICONF_H
#define MGMT_BMCLIB_IPMICONF_H

#include <bit>
#include <cstddef>
#include <cstdint>

#include "imbapi.h"

static_assert(std::endian::native == std::endian::little);

/// One channel as Get Channel Info and Get Channel Access describe it.
typedef struct {
  uint32_t channel;         ///< channel number
  uint32_t mediumType;      ///< Get Channel Info byte 1, low 7 bits (4: 802.3 LAN)
  uint32_t protocolType;    ///< byte 2, low 6 bits
  uint32_t sessionSupport;  ///< byte 3, bits 7-6 (0: session-less)
  uint32_t activeSessions;  ///< byte 3, bits 5-0
  uint32_t vendorId;        ///< bytes 4-6, IANA enterprise number, LS byte first
  uint32_t auxInfo;         ///< bytes 7-8, little-endian
  uint32_t accessByte;      ///< Get Channel Access byte 0, sent back as Set byte 1
  uint32_t privilegeLimit;  ///< Get Channel Access byte 1, sent back as Set byte 2
} channel_info_t;

static_assert(sizeof(channel_info_t) == 36);
static_assert(offsetof(channel_info_t, vendorId) == 20);
static_assert(offsetof(channel_info_t, privilegeLimit) == 32);

/// The BMC's LAN address parameters, in the order GetLanConfig fills them and
/// SetLanConfs sends them (LAN parameter numbers in brackets).
typedef struct {
  uint8_t ipSource;             ///< [4] 0 unspecified, 1 static, 2 DHCP, 3 BIOS/system, 4 other
  uint8_t ip[4];                ///< [3]
  uint8_t mac[6];               ///< [5]
  uint8_t subnetMask[4];        ///< [6]
  uint8_t gatewayIp[4];         ///< [12]
  uint8_t gatewayMac[6];        ///< [13]
  uint8_t backupGatewayIp[4];   ///< [14]
  uint8_t backupGatewayMac[6];  ///< [15]
} LanParamBlock;

static_assert(sizeof(LanParamBlock) == 35);
static_assert(offsetof(LanParamBlock, ip) == 1);
static_assert(offsetof(LanParamBlock, mac) == 5);
static_assert(offsetof(LanParamBlock, subnetMask) == 11);
static_assert(offsetof(LanParamBlock, gatewayIp) == 15);
static_assert(offsetof(LanParamBlock, gatewayMac) == 19);
static_assert(offsetof(LanParamBlock, backupGatewayIp) == 25);
static_assert(offsetof(LanParamBlock, backupGatewayMac) == 29);

/// One LAN alert destination: LAN parameter 19 without its revision byte.
typedef struct {
  uint8_t setSelector;
  uint8_t addressFormat;
  uint8_t gatewaySelector;
  uint8_t ip[4];
  uint8_t mac[6];
} LanAlertDest;

static_assert(sizeof(LanAlertDest) == 13);
static_assert(offsetof(LanAlertDest, ip) == 3);
static_assert(offsetof(LanAlertDest, mac) == 7);

enum { kLanMaxAlertDests = 16 };

/// The LAN configuration of one channel.
typedef struct {
  uint32_t channel;
  uint32_t accessByte;  ///< copied from the channel record
  LanParamBlock params;
  uint32_t numDests;  ///< LAN parameter 17, low 4 bits (0-15)
  LanAlertDest dests[kLanMaxAlertDests];
  channel_info_t* channelInfo;  ///< the channel's record in g_channels
} lan_config_t;

static_assert(offsetof(lan_config_t, params) == 8);
static_assert(offsetof(lan_config_t, numDests) == 44);
static_assert(offsetof(lan_config_t, dests) == 48);
static_assert(offsetof(lan_config_t, channelInfo) == 256);
static_assert(sizeof(lan_config_t) == 256 + sizeof(void*));

/// SetLanConfs flags: which parameters besides the IP source are written.
enum {
  kLanSetIp = 0x01,
  kLanSetMac = 0x02,  ///< accepted, writes nothing: the MAC address is the port's own
  kLanSetSubnetMask = 0x04,
  kLanSetGatewayIp = 0x08,
  kLanSetGatewayMac = 0x10,
  kLanSetBackupGatewayIp = 0x20,
  kLanSetBackupGatewayMac = 0x40,
  kLanSetAlertDests = 0x80,
};

enum { kMaxChannels = 13 };

extern channel_info_t g_channels[kMaxChannels];
extern int g_nChannels;
extern lan_config_t g_lanconfs[kMaxChannels];
extern int g_nLanconfs;

/// The hexadecimal digits of a MAC text, upper case, ":" and "-" dropped; the
/// first other character ends it. @return 0, or -1 (and `out` empty when
/// `outSize` > 0) when the digits do not fit into `outSize` bytes.
int FormatMAC(const char* text, char* out, size_t outSize);
/// 0 when both texts give the same digits after FormatMAC, otherwise their
/// strcmp order.
int CompareMAC(const char* a, const char* b);

/// 1 when the channel supports IPMI v2.0 (RMCP+) sessions, 0 when not, -1 when
/// the request failed.
int GetRMCPConf(BYTE channel);
/// Sets the channel's K_G and then K_R key to `key` (at most 20 characters).
/// @return -1 for a longer key (nothing sent); the K_G write's result when the
///         BMC refused it (K_R is then not sent); else the K_R write's result.
int SetChannelSecurityKeys(BYTE channel, const char* key);
/// The K_G key's lock status (0 not lockable, 1 locked, 2 unlocked), or 0.
int IsChannelKeySupported(BYTE channel);

/// Reads a PEF or LAN configuration parameter and copies `length` bytes from
/// reply byte `offset` + 1 (byte 0 is the parameter revision). A reply too short
/// for that leaves `out` untouched and still returns 0.
int GetPEFConf(BYTE* out, int length, int offset, BYTE parameter, BYTE setSelector,
               BYTE blockSelector);
int GetLanConf(BYTE* out, int length, int offset, BYTE channel, BYTE parameter, BYTE setSelector,
               BYTE blockSelector);
/// Writes a PEF (at most 114 data bytes) or LAN (at most 113) configuration
/// parameter; a longer one is not sent (-1).
int SetPEFConf(const BYTE* data, int length, BYTE parameter);
int SetLanConf(const BYTE* data, int length, BYTE channel, BYTE parameter);

/// Writes event filter `filter` as one that matches every event and alerts
/// through alert policy 1.
void UpdatePEFEntry(BYTE filter);
/// Writes alert policy `entry`: policy 1, enabled, always alert to destination
/// `destination` of `channel`.
int SetAlertPolicy(BYTE entry, BYTE channel, BYTE destination);
/// Turns on PEF and its alert action, with a filter that alerts on every event.
/// An equal filter is reused; only a disabled, non-pre-configured filter (or a
/// disabled filter 1) is overwritten. A parameter that could not be read is not
/// written back. @return 0.
int EnablePEF(void);
/// Turns off PEF and its alert action (parameters that read back only).
void DisablePEF(void);

/// Reads a LAN channel's configuration into `record`. @return 0, or -1 when the
/// channel offers no authentication type at administrator level or the
/// transport failed.
int GetLanConfig(lan_config_t* record, BYTE channel);
/// Fills g_lanconfs from the LAN channels of g_channels.
void GetLanConfs(void);
/// Writes the IP source, the parameters `flags` names, alerting on the channel,
/// and the alert destinations. @return 0.
int SetLanConfs(lan_config_t* record, unsigned long flags);

int BMCColdReset(void);
/// True when the medium is 802.3 LAN and the channel supports sessions.
bool IsLanChannel(const channel_info_t* channel);
/// Fills fields 1-7 on success.
int GetChannelInfo(channel_info_t* record, BYTE channel);
/// Sends the record's access and privilege-limit bytes back.
int SetChannelAccess(const channel_info_t* record);
/// Fills the access and privilege-limit bytes (non-volatile setting).
int GetChannelAccess(channel_info_t* record);
/// Turns PEF alerting on for the channel, volatile and non-volatile, leaving
/// every other access setting (authentication, access mode, privilege limit)
/// as the BMC holds it. @return the first failure, else 0.
int EnableChannelAlerting(BYTE channel);
/// Fills g_channels with the channels 0-12 that answer. @return 1.
int InitChannels(void);

/// The user's name into `out` (at least 17 bytes); user 1 is anonymous.
int GetUserName(char* out, BYTE user);
/// Sets the user's name (not for user 1) and then password, 16 characters each
/// at most. @return -1 for a longer text (nothing sent), else the result of the
/// last request sent.
int SetUserNamePassword(const char* name, const char* password, BYTE user);
/// Set User Name alone. @return -1 for a name over 16 characters or user 1.
int SetUserName(const char* name, BYTE user);
/// Set User Password alone. @return -1 for a password over 16 characters.
int SetUserPassword(const char* password, BYTE user);

/// Get Watchdog Timer: on 0, `*seconds` = initial countdown / 10, `*action` the
/// timer actions byte, `*enabled` = seconds != 0; otherwise nothing changes.
int GetWatchdogTimer(int* enabled, int* seconds, int* action);
/// Set Watchdog Timer for SMS/OS use, logging on, stopped by the command: with
/// `enabled` the action and a countdown of seconds x 10 (at most 6553 seconds
/// fit; more is sent as 6553); without, action 0 and countdown 0.
/// @return the request's result.
int SetWatchdogTimer(int enabled, int seconds, int action);
/// Starts or restarts the timer from its initial countdown.
int ResetWatchdogTimer(void);

#endif
