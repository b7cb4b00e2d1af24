// Discovery of the firmware's sensor structures through the PnP-BIOS driver at
// /dev/hmpdrv: the driver's two requests, the pass that indexes the voltage-probe,
// cooling-device (fans only) and temperature-probe structures by handle, and the
// fetching of one indexed structure again.
//
// The driver is outside the system (a kernel driver, or the device seam serving it
// from the tables the kernel exports, platform/dev/firmwaredev.h), so nothing it
// answers is trusted:
//   - a request answered with "repeat" is asked again a bounded number of times;
//   - the pass ends at a handle it has fetched before and after as many fetches as
//     a table can hold structures, so a driver whose chain loops cannot hang it;
//   - the fetch buffer is zeroed before every fetch and every read of a fetched
//     structure stays inside that buffer (the bounded walker, smbios/walker.h),
//     so bytes the driver did not copy read as the end of the structure;
//   - the largest structure size it reports is capped at what a table can hold.
//
// All state is module-wide and unguarded: the library's caller serialises its
// calls (pnpbiossensor.h).
#ifndef MGMT_PNPSENSORS_PNPBIOS_H
#define MGMT_PNPSENSORS_PNPBIOS_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace Pegasus {

class HM_CIMSensorSet;

/// One indexed structure.
struct _sensorIndex {
  uint16_t handle;  ///< the handle the structure was fetched with
  char text[32];    ///< first character NUL; not used further
  uint32_t word;    ///< 0; not used further
};

/// Descriptor of /dev/hmpdrv; 0 or less: not open.
extern int g_fdPnPBIOSdrv;
/// Size of every buffer a structure is fetched into.
extern uint32_t g_maxBufferLen;

/// Index of the voltage probes (SMBIOS type 26).
extern _sensorIndex* g_phsVoltageProbe;
extern uint32_t g_nNumVoltageProbe;
/// Index of the cooling devices (type 27) that are fans.
extern _sensorIndex* g_phsCoolingDevice;
extern uint32_t g_nNumCoolingDevice;
/// Index of the temperature probes (type 28).
extern _sensorIndex* g_phsTemperatureProbe;
extern uint32_t g_nNumTemperatureProbe;

/// The system UUID from the system information structure (type 1), as stored there.
extern uint8_t siUUID[16];

/// The discovery pass: opens the driver unless it is open, chooses the fan-name
/// parser, sizes the fetch buffer and rebuilds the three indexes from the
/// driver's chain of structures. 0 when the driver cannot be opened, else 1.
int PnPInitialize();

/// Appends an entry for `handle`, growing the array by 8 entries when `count` has
/// reached `capacity`; when the array cannot grow, nothing is added.
void AddNewStruct(_sensorIndex*& index, uint32_t& capacity, uint32_t& count, uint16_t handle);

/// Fetches the structure of `*handle` into `buf` (g_maxBufferLen bytes, zeroed
/// first) and replaces `*handle` by the next structure's handle (0xFFFF after the
/// last). The request's result: 0 on success.
uint32_t PnpGetStructure_(uint16_t* handle, uint8_t* buf);

/// Fetches the structure of an index entry (the entry is not changed).
uint32_t PnpGetStructure(const _sensorIndex& entry, uint8_t* buf);

/// What parseSensor hands each fetched structure to: the set, the fetch buffer
/// (g_maxBufferLen bytes, the structure at its start) and the entry.
using SensorParser = int (*)(HM_CIMSensorSet& set, std::span<const uint8_t> fetched,
                             const _sensorIndex& entry);

/// Fetches the structure of every entry in order into one buffer and hands it to
/// `parser`; an entry whose fetch fails is passed over. Does nothing when the
/// buffer cannot be allocated.
void parseSensor(const _sensorIndex* index, uint32_t count, HM_CIMSensorSet& set,
                 SensorParser parser);

/// Frees the three indexes and sets their counts to 0.
void FreeSensorIndexes();

/// Closes the driver if it is open; g_fdPnPBIOSdrv becomes 0.
void ClosePnPBIOSDriver();

}  // namespace Pegasus

namespace mgmt::pnp {

/// Where the driver is.
inline constexpr const char* kPnpBiosDriverPath = "/dev/hmpdrv";
/// How often a request answered with "repeat" is asked again before it counts as
/// failed.
inline constexpr unsigned kMaxRepeats = 64;
/// Structures a table can hold at most: a legacy table is at most 65 535 bytes and
/// the smallest structure takes 6 (its header and an empty string set).
inline constexpr size_t kMaxStructuresPerTable = 0xFFFF / 6 + 1;
/// A structure cannot be larger than the table it is in.
inline constexpr uint32_t kMaxReportedStructureSize = 0xFFFF;

/// The calls the library makes to reach the driver; tests substitute a scripted
/// driver for the device seam.
class DriverCalls {
 public:
  virtual ~DriverCalls() = default;
  virtual int Open(const char* path, int flags) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual int Close(int fd) = 0;
};

/// A cooling device of a fan type: fan, chip fan, cabinet fan or power-supply fan
/// (the device type is the low 5 bits of the byte).
bool IsFanDeviceType(uint8_t deviceTypeAndStatus);

/// A zeroed fetch buffer of g_maxBufferLen bytes; empty when it cannot be allocated.
std::vector<uint8_t> AllocateFetchBuffer();

/// Routes the library's driver calls to `calls` (not owned); null routes them
/// back to the device seam (DevOpen, DevIoctl, DevClose).
void UseDriverCalls(DriverCalls* calls);

}  // namespace mgmt::pnp

#endif
