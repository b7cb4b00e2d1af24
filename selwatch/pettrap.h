// The SNMP trap sender: every event block leaves the host as an SNMPv1 trap
// (enterprise .1.3.6.1.4.1.32473.1.1, generic trap 6, the event's specific trap
// number, the block as one OCTET STRING) to each trap sink of trap.conf.
#ifndef MGMT_SELWATCH_PETTRAP_H
#define MGMT_SELWATCH_PETTRAP_H

#include <cstdint>
#include <optional>
#include <string>

/// Set when an inform was asked for (option -C i); this sender sends traps only.
extern int inform;

/// Sends the block to every trap sink of trap.conf, in file order.
void handleEvent(uint8_t* block, int length, uint32_t trapNumber);
/// One trap to one sink. 0 when the trap was handed to the library (also when
/// sending then failed), -1 when no session or PDU could be made.
int send_esm_trap(const char* sink, const uint8_t* block, int length, uint32_t trapNumber);
/// Prints `label`, ": " and each sub-identifier as "." and its decimal value.
void printoid(const char* label, const unsigned long* name, size_t length);

namespace mgmt::selwatch {

inline constexpr const char* kTrapConf = "/usr/local/share/mgmtagent/agentconf/trap.conf";
inline constexpr const char* kCommunity = "tarpon";
/// Longest trap sink address (the line's address field holds 16 bytes).
inline constexpr size_t kSinkAddressMax = 15;

/// The environment and net-snmp set-up the sender relies on. Called once by
/// main before any thread starts: the environment must not change while other
/// threads may read it, and the library's start-up is not thread-safe.
void InitTrapSender();

/// The trap sink of one trap.conf line (only its first 31 characters count),
/// or nullopt with the reason in `*why` (empty for comments and lines that are
/// no sink lines at all).
std::optional<std::string> ParseSinkLine(const char* line, std::string* why);

}  // namespace mgmt::selwatch

#endif
