// The CIM side of the storage collector: instances built from scan records, and
// the class objects their paths are built against.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEINSTANCES_H
#define MGMT_PROVIDERS_STORAGE_STORAGEINSTANCES_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/String.h>

#include "StorageEntries.h"

namespace mgmt::storage {

/// The class of a storage type code (SM_DiskDrive for 1, ...) with its CIM
/// superclass and the four keys every storage class inherits from
/// CIM_LogicalDevice: SystemCreationClassName, SystemName, CreationClassName and
/// DeviceID. Instance paths are built against it. An uninitialized class for an
/// unknown code.
Pegasus::CIMConstClass KeyedClass(int type);

/// The instances of one record, properties in their published order and CIM
/// types, each with its path (built against KeyedClass) set. `systemName` is the
/// host's name.
Pegasus::CIMInstance BuildDiskDriveInstance(const Pegasus::DiskDriveEntry& disk,
                                            const Pegasus::String& systemName);
Pegasus::CIMInstance BuildCdromDriveInstance(const Pegasus::xDROMDriveEntry& drive,
                                             const Pegasus::String& systemName);
Pegasus::CIMInstance BuildLogicalDiskInstance(const Pegasus::LogicalDiskEntry& disk,
                                              const Pegasus::String& systemName);

}  // namespace mgmt::storage

#endif
