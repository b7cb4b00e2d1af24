// libStorInvProvider's entry point.
#include "StorageProviderMain.h"

#include <memory>

#include "CDROMDriveProvider.h"
#include "DVDDriveProvider.h"
#include "DiskDriveProvider.h"
#include "FloppyDriveProvider.h"
#include "LogicalDiskProvider.h"

namespace {

template <typename Provider>
Pegasus::CIMProvider* Make() {
  return std::make_unique<Provider>().release();
}

struct Entry {
  const char* name;
  Pegasus::CIMProvider* (*make)();
};

constexpr Entry kProviders[] = {
    {"SMDiskDriveProvider", &Make<Pegasus::DiskDriveProvider>},
    {"SMCDROMDriveProvider", &Make<Pegasus::CDROMDriveProvider>},
    {"SMDVDDriveProvider", &Make<Pegasus::DVDDriveProvider>},
    {"SMFloppyDriveProvider", &Make<Pegasus::FloppyDriveProvider>},
    {"SMLogicalDiskProvider", &Make<Pegasus::LogicalDiskProvider>},
};

}  // namespace

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName) {
  // Nothing may propagate out of a C entry point: a failure here (out of
  // memory) answers "no provider", which the object manager reports.
  try {
    for (const Entry& entry : kProviders) {
      if (Pegasus::String::equalNoCase(providerName, entry.name)) return entry.make();
    }
  } catch (...) {
  }
  return nullptr;
}
