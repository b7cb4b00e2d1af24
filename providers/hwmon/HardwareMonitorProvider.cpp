// libHardwareMonitor: the hardware-monitor component. It loads the sensor library
// libPnpSensors, initializes it once and answers the three sensor classes from
// the collection the library exports.
#include "HardwareMonitorProvider.h"

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/ProviderException.h>

#include <memory>
#include <mutex>

#include "pnpbiossensor.h"

namespace {

constexpr const char* kProviderName = "HardwareMonitorProvider";

// Serialises every call into the sensor library.
std::mutex g_libraryMutex;
// Provider objects that initialized the library and have not terminated.
int g_libraryUsers = 0;
// The collection intializeHM gave this module's users, null when it gave none.
// g_allSensors is not enough: the library leaves it pointing at the collection
// of an earlier pass when a later one finds no driver, and that collection's
// sensors can no longer be read.
Pegasus::HM_CIMAllSensors* g_sensors = nullptr;

[[noreturn]] void RefuseWrite(const char* operation) {
  throw Pegasus::CIMNotSupportedException(Pegasus::String(kProviderName) +
                                          Pegasus::String(" does not support ") +
                                          Pegasus::String(operation));
}

}  // namespace

namespace Pegasus {

HardwareMonitorProvider::~HardwareMonitorProvider() { Release(); }

void HardwareMonitorProvider::initialize(CIMOMHandle& cimom) {
  cimom_ = cimom;
  std::lock_guard lock(g_libraryMutex);
  if (initialized_) return;
  // Without the PnP-BIOS driver intializeHM gives no collection, and every
  // class is served empty.
  if (g_libraryUsers == 0) g_sensors = intializeHM();
  ++g_libraryUsers;
  initialized_ = true;
}

void HardwareMonitorProvider::terminate() { Release(); }

void HardwareMonitorProvider::Release() {
  std::lock_guard lock(g_libraryMutex);
  if (!initialized_) return;
  initialized_ = false;
  if (--g_libraryUsers == 0) {
    uninitializeHM();
    g_sensors = nullptr;
  }
}

void HardwareMonitorProvider::getInstance(const OperationContext&,
                                          const CIMObjectPath& instanceReference, const Boolean,
                                          const Boolean, const CIMPropertyList&,
                                          InstanceResponseHandler& handler) {
  handler.processing();
  {
    std::lock_guard lock(g_libraryMutex);
    // Delivered while the lock is held: the handler copies the instance, which a
    // later request may re-read in place.
    if (g_sensors != nullptr) {
      if (const CIMInstance* found = g_sensors->getInstance(instanceReference)) {
        handler.deliver(found->clone());
      }
    }
  }
  handler.complete();
}

void HardwareMonitorProvider::enumerateInstances(const OperationContext&,
                                                 const CIMObjectPath& classReference, const Boolean,
                                                 const Boolean, const CIMPropertyList&,
                                                 InstanceResponseHandler& handler) {
  handler.processing();
  {
    std::lock_guard lock(g_libraryMutex);
    if (g_sensors != nullptr) {
      if (const Array<CIMInstance>* instances = g_sensors->getInstances(classReference)) {
        for (const CIMInstance& instance : *instances) handler.deliver(instance.clone());
      }
    }
  }
  handler.complete();
}

void HardwareMonitorProvider::enumerateInstanceNames(const OperationContext&,
                                                     const CIMObjectPath& classReference,
                                                     ObjectPathResponseHandler& handler) {
  handler.processing();
  {
    std::lock_guard lock(g_libraryMutex);
    if (g_sensors != nullptr) {
      if (const Array<CIMObjectPath>* names = g_sensors->getInstanceNames(classReference)) {
        for (const CIMObjectPath& name : *names) handler.deliver(name);
      }
    }
  }
  handler.complete();
}

void HardwareMonitorProvider::modifyInstance(const OperationContext&, const CIMObjectPath&,
                                             const CIMInstance&, const Boolean,
                                             const CIMPropertyList&, ResponseHandler&) {
  RefuseWrite("modifyInstance");
}

void HardwareMonitorProvider::createInstance(const OperationContext&, const CIMObjectPath&,
                                             const CIMInstance&, ObjectPathResponseHandler&) {
  RefuseWrite("createInstance");
}

void HardwareMonitorProvider::deleteInstance(const OperationContext&, const CIMObjectPath&,
                                             ResponseHandler&) {
  RefuseWrite("deleteInstance");
}

}  // namespace Pegasus

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName) {
  using namespace Pegasus;
  // Nothing may propagate out of a C entry point: a failure here (out of
  // memory) answers "no provider", which the object manager reports.
  try {
    if (String::equalNoCase(providerName, kProviderName)) {
      return std::make_unique<HardwareMonitorProvider>().release();
    }
  } catch (...) {
  }
  return nullptr;
}
