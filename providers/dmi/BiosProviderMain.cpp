// libDmiInventoryProvider: BIOS, processors, memory devices, port connectors,
// system slots, product, base board and chassis from the firmware's SMBIOS table,
// and the buses listed under /proc/bus, as nine read-only instance providers.
// The table is read once from /dev/smbdrv and shared; each provider builds its
// instances once, in initialize.
#include "BiosProviderMain.h"

#include <memory>
#include <mutex>

#include "BiosDeviceProvider.h"
#include "SM_BIOSElement.h"
#include "SM_BaseBoard.h"
#include "SM_Bus.h"
#include "SM_Chassis.h"
#include "SM_ComputerSystemProduct.h"
#include "SM_PhysicalMemory.h"
#include "SM_PortConnector.h"
#include "SM_Processor.h"
#include "SM_SystemSlot.h"

namespace {

using namespace Pegasus;

template <class Provider>
CIMProvider* Make() {
  return std::make_unique<Provider>().release();
}

struct Entry {
  const char* name;
  CIMProvider* (*make)();
};

constexpr Entry kProviders[] = {
    {"SM_BIOSElement", Make<SM_BIOSElement>},
    {"SM_Processor", Make<SM_Processor>},
    {"SM_PhysicalMemory", Make<SM_PhysicalMemory>},
    {"SM_PortConnector", Make<SM_PortConnector>},
    {"SM_SystemSlot", Make<SM_SystemSlot>},
    {"SM_Bus", Make<SM_Bus>},
    {"SM_ComputerSystemProduct", Make<SM_ComputerSystemProduct>},
    {"SM_BaseBoard", Make<SM_BaseBoard>},
    {"SM_Chassis", Make<SM_Chassis>},
};

}  // namespace

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName) {
  // Nothing may propagate out of a C entry point: a failure here (out of memory)
  // answers "no provider", which the object manager reports.
  try {
    {
      // One load at a time; a caller that finds a load running waits for it and
      // then uses its table, or tries again itself when it failed.
      const std::lock_guard lock(mgmt::dmi::DmiTableMutex());
      if (!mgmt::dmi::EnsureDmiTableLoaded()) return nullptr;
    }
    for (const auto& entry : kProviders) {
      if (String::equalNoCase(providerName, entry.name)) return entry.make();
    }
  } catch (...) {
  }
  return nullptr;
}
