// The firmware-table drivers served in-process from the tables the kernel exports
// (/sys/firmware/dmi/tables/ under the installation root), for machines without
// the drivers: /dev/smbdrv (SMBIOS table driver) and /dev/hmpdrv (PnP-BIOS
// driver). Each open takes one snapshot of the prepared table (tableprep.h), so
// all requests on one descriptor see the same table. Requests: firmwareioctl.h.
#ifndef MGMT_PLATFORM_FIRMWAREDEV_H
#define MGMT_PLATFORM_FIRMWAREDEV_H

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/fd.h"
#include "device.h"
#include "smbios/tableprep.h"

namespace mgmt::dev {

inline constexpr std::string_view kSmbiosDriverPath = "/dev/smbdrv";
inline constexpr std::string_view kPnpBiosDriverPath = "/dev/hmpdrv";

/// /dev/smbdrv: the header request answers the prepared legacy record, the table
/// request writes exactly the prepared table's length.
class SmbiosTableDevice final : public Device {
 public:
  SmbiosTableDevice(base::UniqueFd handle, smbios::PreparedTable table);
  int Handle() const override { return handle_.Get(); }
  int Ioctl(unsigned long request, void* arg) override;

 private:
  base::UniqueFd handle_;
  const smbios::PreparedTable table_;
};

/// /dev/hmpdrv: the structures form one chain that starts at the structure with
/// handle 0 (the first structure when none has it), runs to the table's end, wraps
/// to the structures before its start and leaves out a handle seen before (and the
/// unusable handle 0xFFFF), so every addressable structure is visited exactly once.
class PnpBiosDevice final : public Device {
 public:
  PnpBiosDevice(base::UniqueFd handle, smbios::PreparedTable table);
  int Handle() const override { return handle_.Get(); }
  int Ioctl(unsigned long request, void* arg) override;

 private:
  struct Link {
    size_t offset;
    size_t size;
    uint16_t handle;
  };
  int GetStructure(void* arg) const;

  base::UniqueFd handle_;
  const smbios::PreparedTable table_;
  std::vector<Link> chain_;
  std::unordered_map<uint16_t, size_t> position_;  // handle -> index in chain_
};

/// True for the paths of the two drivers served here.
bool IsFirmwareDriverPath(std::string_view path);

/// The emulated device for `path` (the path as the caller named it, before root
/// resolution) when it is one of the two drivers and the exported tables are
/// readable under the root. Null with errno set otherwise: ENOENT for another path
/// or absent tables (as for a missing driver), the system's reason when they
/// cannot be read, ENODEV when the entry point is of no known kind.
std::unique_ptr<Device> OpenFirmwareDevice(std::string_view path);

}  // namespace mgmt::dev

#endif
