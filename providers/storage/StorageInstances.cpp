#include "StorageInstances.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <string>
#include <vector>

#include "BytesText.h"
#include "StorageData.h"

namespace mgmt::storage {

namespace {

using Pegasus::Boolean;
using Pegasus::CIMClass;
using Pegasus::CIMInstance;
using Pegasus::CIMName;
using Pegasus::CIMProperty;
using Pegasus::CIMQualifier;
using Pegasus::CIMValue;
using Pegasus::String;

constexpr const char* kSystemClass = "CIM_ComputerSystem";
constexpr const char* kKeys[] = {"SystemCreationClassName", "SystemName", "CreationClassName",
                                 "DeviceID"};

template <typename T>
void Add(CIMInstance& instance, const char* name, T value) {
  instance.addProperty(CIMProperty(CIMName(name), CIMValue(value)));
}

void AddText(CIMInstance& instance, const char* name, std::string_view text) {
  Add(instance, name, mgmt::broker::StringFromBytes(text));
}

/// The first four properties of every storage instance: its keys but DeviceID.
CIMInstance StartInstance(const String& className, const String& systemName) {
  CIMInstance instance{CIMName(className)};
  Add(instance, "SystemName", systemName);
  Add(instance, "SystemCreationClassName", String(kSystemClass));
  Add(instance, "CreationClassName", className);
  return instance;
}

CIMInstance Finish(CIMInstance& instance, int type) {
  instance.setPath(instance.buildPath(KeyedClass(type)));
  return instance;
}

}  // namespace

Pegasus::CIMConstClass KeyedClass(int type) {
  using namespace Pegasus;
  struct Names {
    const String& cls;
    const String& super;
  };
  // Built once: the classes are only read afterwards, by any thread.
  static const std::vector<CIMConstClass> kClasses = [] {
    const Names names[] = {{DISKDRIVECLASS, SUDISKDRIVECLASS},
                           {CDROMDRIVECLASS, SUCDROMDRIVECLASS},
                           {DVDDRIVECLASS, SUDVDDRIVECLASS},
                           {FLOPPYDRIVECLASS, SUFLOPPYDRIVECLASS},
                           {LOGICALDISKCLASS, SULOGICALDISKCLASS}};
    std::vector<CIMConstClass> classes;
    for (const Names& n : names) {
      CIMClass cls{CIMName(n.cls), CIMName(n.super)};
      for (const char* key : kKeys) {
        CIMProperty property{CIMName(key), CIMValue(String())};
        property.addQualifier(CIMQualifier(CIMName("Key"), CIMValue(Boolean(true))));
        cls.addProperty(property);
      }
      classes.emplace_back(cls);
    }
    return classes;
  }();
  if (type < kStorageDiskDrive || type > kStorageLogicalDisk) return CIMConstClass();
  return kClasses[static_cast<std::size_t>(type - kStorageDiskDrive)];
}

CIMInstance BuildDiskDriveInstance(const Pegasus::DiskDriveEntry& disk, const String& systemName) {
  CIMInstance i = StartInstance(Pegasus::DISKDRIVECLASS, systemName);
  AddText(i, "DeviceID", disk.deviceId);
  AddText(i, "Caption", disk.deviceId);
  AddText(i, "InterfaceType", disk.interfaceType);
  AddText(i, "Manufacturer", disk.manufacturer);
  AddText(i, "MediaType", disk.mediaType);
  AddText(i, "Model", disk.model);
  AddText(i, "Name", disk.name);
  Add(i, "MediaLoaded", Boolean(disk.mediaLoaded != 0));
  Add(i, "SCSILogicalUnit", Pegasus::Uint16(disk.scsiLogicalUnit));
  Add(i, "SCSIPort", Pegasus::Uint16(disk.scsiPort));
  Add(i, "SCSITargetId", Pegasus::Uint16(disk.scsiTargetId));
  Add(i, "BytesPerSector", Pegasus::Uint32(disk.bytesPerSector));
  Add(i, "Partitions", Pegasus::Uint32(disk.partitions));
  Add(i, "SectorsPerTrack", Pegasus::Uint32(disk.sectorsPerTrack));
  Add(i, "TotalHeads", Pegasus::Uint32(disk.totalHeads));
  Add(i, "TracksPerCylinder", Pegasus::Uint32(disk.tracksPerCylinder));
  Add(i, "Index", Pegasus::Uint32(disk.index));
  Add(i, "SCSIBus", Pegasus::Uint32(disk.scsiBus));
  Add(i, "TotalSectors", Pegasus::Uint64(disk.totalSectors));
  Add(i, "TotalTracks", Pegasus::Uint64(disk.totalTracks));
  Add(i, "TotalCylinders", Pegasus::Uint64(disk.totalCylinders));
  Add(i, "Size", Pegasus::Uint64(disk.size));
  return Finish(i, Pegasus::kStorageDiskDrive);
}

CIMInstance BuildCdromDriveInstance(const Pegasus::xDROMDriveEntry& drive,
                                    const String& systemName) {
  CIMInstance i = StartInstance(Pegasus::CDROMDRIVECLASS, systemName);
  AddText(i, "DeviceID", drive.deviceId);
  AddText(i, "Caption", drive.deviceId);
  AddText(i, "Drive", drive.drive);
  AddText(i, "Id", drive.id);
  AddText(i, "Manufacturer", drive.manufacturer);
  AddText(i, "MediaType", drive.mediaType);
  AddText(i, "Name", drive.name);
  Add(i, "SCSILogicalUnit", Pegasus::Uint16(drive.scsiLogicalUnit));
  Add(i, "SCSIPort", Pegasus::Uint16(drive.scsiPort));
  Add(i, "SCSITargetId", Pegasus::Uint16(drive.scsiTargetId));
  Add(i, "SCSIBus", Pegasus::Uint32(drive.scsiBus));
  Add(i, "Size", Pegasus::Uint64(drive.size));
  Add(i, "MediaLoaded", Boolean(drive.mediaLoaded != 0));
  return Finish(i, Pegasus::kStorageCdromDrive);
}

CIMInstance BuildLogicalDiskInstance(const Pegasus::LogicalDiskEntry& disk,
                                     const String& systemName) {
  CIMInstance i = StartInstance(Pegasus::LOGICALDISKCLASS, systemName);
  AddText(i, "DeviceID", disk.name);
  AddText(i, "Name", disk.name);
  AddText(i, "Caption", disk.name);
  AddText(i, "FileSystem", disk.fileSystem);
  if (disk.freeSpaceUnknown == 0) Add(i, "FreeSpace", Pegasus::Uint64(disk.freeSpace));
  Add(i, "Size", Pegasus::Uint64(disk.size));
  return Finish(i, Pegasus::kStorageLogicalDisk);
}

}  // namespace mgmt::storage
