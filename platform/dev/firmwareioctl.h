// Control requests of the two firmware-table drivers, as their users issue them.
//
// /dev/smbdrv, the SMBIOS table driver: plain request numbers (no direction or
// size encoded), 0 on success.
//   SMBIOS_IOCTL_GET_HEADER  argument: 64-byte buffer; filled with the entry point
//   SMBIOS_IOCTL_GET_TABLE   argument: buffer at least as long as the table the
//                            header announces; filled with the structure table
//
// /dev/hmpdrv, the PnP-BIOS driver: both requests answer kPnpRepeat when the caller
// is to ask again; any other result is final, 0 is success.
//   kPnpGetMaxStructureSize  argument: uint32_t*; receives the size of the largest
//                            structure (formatted area, strings, closing NUL)
//   kPnpGetStructure         argument: PnpStructureRequest*; the structure with
//                            *handle is copied into buffer (at most *bufferSize
//                            bytes) and *handle becomes the next structure's handle,
//                            0xFFFF after the last. Handle 0 starts the chain.
#ifndef MGMT_PLATFORM_FIRMWAREIOCTL_H
#define MGMT_PLATFORM_FIRMWAREIOCTL_H

#include <cstddef>
#include <cstdint>

#define SMBIOS_IOCTL_GET_HEADER 1
#define SMBIOS_IOCTL_GET_TABLE 2

namespace mgmt::dev {

inline constexpr unsigned long kPnpGetMaxStructureSize = 0x501;
inline constexpr unsigned long kPnpGetStructure = 0x51;
inline constexpr uint32_t kPnpRepeat = 0xF0000000u;
/// The handle that starts the chain, and the one that follows the last structure.
inline constexpr uint16_t kPnpFirstHandle = 0x0000;
inline constexpr uint16_t kPnpNoMoreHandles = 0xFFFF;

/// Argument block of kPnpGetStructure: three pointers of the calling process.
struct PnpStructureRequest {
  uint16_t* handle;
  uint32_t* bufferSize;
  uint8_t* buffer;
};
static_assert(offsetof(PnpStructureRequest, handle) == 0);
static_assert(offsetof(PnpStructureRequest, bufferSize) == sizeof(void*));
static_assert(offsetof(PnpStructureRequest, buffer) == 2 * sizeof(void*));
static_assert(sizeof(PnpStructureRequest) == 3 * sizeof(void*));

}  // namespace mgmt::dev

#endif
