#include "pnpbios.h"

#include <fcntl.h>

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/bytes.h"
#include "devseam.h"
#include "firmwareioctl.h"
#include "pnpoemfan.h"
#include "smbios/walker.h"

namespace {

using mgmt::dev::kPnpFirstHandle;
using mgmt::dev::kPnpGetMaxStructureSize;
using mgmt::dev::kPnpGetStructure;
using mgmt::dev::kPnpNoMoreHandles;
using mgmt::dev::kPnpRepeat;
using mgmt::dev::PnpStructureRequest;

constexpr uint32_t kDefaultBufferLen = 2048;
constexpr uint32_t kIndexGrowth = 8;

constexpr uint8_t kSystemInformation = 1;
constexpr uint8_t kVoltageProbe = 26;
constexpr uint8_t kCoolingDevice = 27;
constexpr uint8_t kTemperatureProbe = 28;

constexpr size_t kUuidOffset = 8;
constexpr size_t kUuidSize = 16;
// The UUID is part of the system information structure from SMBIOS 2.1 on, whose
// structure is 0x19 bytes long; a shorter one has no UUID to copy.
constexpr uint8_t kMinUuidLength = 0x19;
constexpr size_t kCoolingDeviceTypeOffset = 6;
constexpr size_t kStructureHandleOffset = 2;

class DeviceSeamCalls final : public mgmt::pnp::DriverCalls {
 public:
  int Open(const char* path, int flags) override { return DevOpen(path, flags); }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    return DevIoctl(fd, request, arg);
  }
  int Close(int fd) override { return DevClose(fd); }
};

DeviceSeamCalls g_deviceSeamCalls;
mgmt::pnp::DriverCalls* g_driverCalls = &g_deviceSeamCalls;

// Capacities of the three indexes, known to the discovery pass only.
uint32_t g_nVoltageCapacity = 0;
uint32_t g_nCoolingCapacity = 0;
uint32_t g_nTemperatureCapacity = 0;

// One request to the driver, asked again while it answers "repeat". A failed
// call (-1) reads as a result other than 0, which is all its callers look at.
uint32_t DriverRequest(unsigned long request, void* arg) {
  if (Pegasus::g_fdPnPBIOSdrv <= 0) return static_cast<uint32_t>(-1);
  uint32_t result = kPnpRepeat;
  for (unsigned attempt = 0; attempt <= mgmt::pnp::kMaxRepeats && result == kPnpRepeat; ++attempt) {
    result = static_cast<uint32_t>(g_driverCalls->Ioctl(Pegasus::g_fdPnPBIOSdrv, request, arg));
  }
  return result;
}

// Files one fetched structure into the index its type belongs to.
void IndexStructure(std::span<const uint8_t> fetched, uint16_t handle) {
  using namespace Pegasus;
  // The type and length bytes are there even when the rest is not readable.
  switch (fetched[0]) {
    case kSystemInformation: {
      const auto s = mgmt::smbios::ReadStructure(fetched, 0);
      if (!s || s->Length() < kMinUuidLength) break;
      if (const auto uuid = s->Field(kUuidOffset, kUuidSize)) {
        std::memcpy(siUUID, uuid->data(), kUuidSize);
      }
      break;
    }
    case kVoltageProbe:
      AddNewStruct(g_phsVoltageProbe, g_nVoltageCapacity, g_nNumVoltageProbe, handle);
      break;
    case kCoolingDevice: {
      const auto s = mgmt::smbios::ReadStructure(fetched, 0);
      const auto deviceType = s ? s->Byte(kCoolingDeviceTypeOffset) : std::nullopt;
      if (deviceType && mgmt::pnp::IsFanDeviceType(*deviceType)) {
        AddNewStruct(g_phsCoolingDevice, g_nCoolingCapacity, g_nNumCoolingDevice, handle);
      }
      break;
    }
    case kTemperatureProbe:
      AddNewStruct(g_phsTemperatureProbe, g_nTemperatureCapacity, g_nNumTemperatureProbe, handle);
      break;
    default:
      break;
  }
}

// The buffer size for a reported largest structure: room for it and 2048 bytes
// more, never less than 2048.
uint32_t BufferLenFor(uint32_t reported) {
  if (reported > mgmt::pnp::kMaxReportedStructureSize) {
    reported = mgmt::pnp::kMaxReportedStructureSize;
  }
  return reported >= kDefaultBufferLen ? reported + kDefaultBufferLen : kDefaultBufferLen;
}

}  // namespace

namespace Pegasus {

int g_fdPnPBIOSdrv = 0;
uint32_t g_maxBufferLen = kDefaultBufferLen;
_sensorIndex* g_phsVoltageProbe = nullptr;
uint32_t g_nNumVoltageProbe = 0;
_sensorIndex* g_phsCoolingDevice = nullptr;
uint32_t g_nNumCoolingDevice = 0;
_sensorIndex* g_phsTemperatureProbe = nullptr;
uint32_t g_nNumTemperatureProbe = 0;
uint8_t siUUID[16] = {};

void AddNewStruct(_sensorIndex*& index, uint32_t& capacity, uint32_t& count, uint16_t handle) {
  if (count >= capacity) {
    const uint32_t grown = capacity + kIndexGrowth;
    auto* bigger = static_cast<_sensorIndex*>(std::realloc(index, grown * sizeof(_sensorIndex)));
    if (bigger == nullptr) return;
    index = bigger;
    capacity = grown;
  }
  _sensorIndex& entry = index[count++];
  entry.handle = handle;
  entry.text[0] = '\0';
  entry.word = 0;
}

uint32_t PnpGetStructure_(uint16_t* handle, uint8_t* buf) {
  assert(buf != nullptr);
  // Whatever the driver leaves untouched reads as zeros: the end of a string
  // set, never a byte of an earlier structure.
  std::memset(buf, 0, g_maxBufferLen);
  uint32_t size = g_maxBufferLen;
  PnpStructureRequest request{handle, &size, buf};
  return DriverRequest(kPnpGetStructure, &request);
}

uint32_t PnpGetStructure(const _sensorIndex& entry, uint8_t* buf) {
  uint16_t handle = entry.handle;
  return PnpGetStructure_(&handle, buf);
}

void parseSensor(const _sensorIndex* index, uint32_t count, HM_CIMSensorSet& set,
                 SensorParser parser) {
  std::vector<uint8_t> buffer = mgmt::pnp::AllocateFetchBuffer();
  if (buffer.empty()) return;
  for (uint32_t i = 0; i < count; ++i) {
    if (PnpGetStructure(index[i], buffer.data()) != 0) continue;
    parser(set, buffer, index[i]);
  }
}

void FreeSensorIndexes() {
  std::free(g_phsVoltageProbe);
  std::free(g_phsCoolingDevice);
  std::free(g_phsTemperatureProbe);
  g_phsVoltageProbe = g_phsCoolingDevice = g_phsTemperatureProbe = nullptr;
  g_nNumVoltageProbe = g_nNumCoolingDevice = g_nNumTemperatureProbe = 0;
  g_nVoltageCapacity = g_nCoolingCapacity = g_nTemperatureCapacity = 0;
}

void ClosePnPBIOSDriver() {
  if (g_fdPnPBIOSdrv > 0) g_driverCalls->Close(g_fdPnPBIOSdrv);
  g_fdPnPBIOSdrv = 0;
}

int PnPInitialize() {
  if (g_fdPnPBIOSdrv <= 0) {
    const int fd = g_driverCalls->Open(mgmt::pnp::kPnpBiosDriverPath, O_RDONLY);
    g_fdPnPBIOSdrv = fd > 0 ? fd : 0;
    if (g_fdPnPBIOSdrv == 0) return 0;
  }
  initializeOEMParser();

  // A failed request reports nothing: the default size, not what an earlier
  // pass left in g_maxBufferLen.
  uint32_t reported = 0;
  if (DriverRequest(kPnpGetMaxStructureSize, &reported) != 0) reported = 0;
  g_maxBufferLen = BufferLenFor(reported);

  std::vector<uint8_t> buffer = mgmt::pnp::AllocateFetchBuffer();
  if (buffer.empty()) return 1;
  std::memset(siUUID, 0, sizeof siUUID);
  FreeSensorIndexes();

  // The chain starts at handle 0. Each fetch names the next handle; the pass
  // ends after the last structure, at a failed fetch, at a handle fetched
  // before (a chain that loops) or after more fetches than a table can hold.
  std::vector<bool> fetched(0x10000, false);
  uint16_t handle = kPnpFirstHandle;
  for (size_t fetches = 0; fetches < mgmt::pnp::kMaxStructuresPerTable; ++fetches) {
    uint16_t current = handle;
    fetched[current] = true;
    if (PnpGetStructure_(&handle, buffer.data()) != 0) break;
    // Handle 0 asks for the chain's start, which is the structure with handle 0
    // when the table has one and otherwise the first structure: such a structure
    // is indexed under its own handle, the one its DeviceID must name and by which
    // it is fetched again.
    if (current == kPnpFirstHandle) {
      current = mgmt::base::GetLe16(buffer, kStructureHandleOffset);
      fetched[current] = true;
    }
    IndexStructure(buffer, current);
    if (handle == kPnpNoMoreHandles || fetched[handle]) break;
  }
  return 1;
}

}  // namespace Pegasus

namespace mgmt::pnp {

bool IsFanDeviceType(uint8_t deviceTypeAndStatus) {
  switch (deviceTypeAndStatus & 0x1F) {
    case 3:
    case 5:
    case 6:
    case 7:
      return true;
    default:
      return false;
  }
}

std::vector<uint8_t> AllocateFetchBuffer() {
  try {
    return std::vector<uint8_t>(Pegasus::g_maxBufferLen);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

void UseDriverCalls(DriverCalls* calls) {
  g_driverCalls = calls != nullptr ? calls : &g_deviceSeamCalls;
}

}  // namespace mgmt::pnp
