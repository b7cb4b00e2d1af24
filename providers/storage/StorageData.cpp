#include "StorageData.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Provider/ProviderException.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "LegacyScan.h"
#include "StorageInstances.h"
#include "SysfsScan.h"

namespace Pegasus {

const String NAMESPACE("root/cimv2");
const String DISKDRIVECLASS("SM_DiskDrive");
const String CDROMDRIVECLASS("SM_CDROMDrive");
const String DVDDRIVECLASS("SM_DVDDrive");
const String LOGICALDISKCLASS("SM_LogicalDisk");
const String FLOPPYDRIVECLASS("SM_FloppyDrive");
const String SUDISKDRIVECLASS("CIM_DiskDrive");
const String SUCDROMDRIVECLASS("CIM_CDROMDrive");
const String SUDVDDRIVECLASS("CIM_DVDDrive");
const String SULOGICALDISKCLASS("CIM_LogicalDisk");
const String SUFLOPPYDRIVECLASS("CIM_FloppyDrive");

Array<CIMInstance> StorageData::m_aryDiskDriveInst;
Array<CIMInstance> StorageData::m_aryCDROMDriveInst;
Array<CIMInstance> StorageData::m_aryDVDROMDriveInst;
Array<CIMInstance> StorageData::m_aryFloppyDriveInst;
Array<CIMInstance> StorageData::m_aryLogicalDiskInst;
Mutex StorageData::m_hMutex;
int StorageData::m_iLocate = -1;
String StorageData::csName;

std::atomic<int> storage_thread_running{0};
std::atomic<int> storage_thread_exit{0};

namespace {

/// complete() on every way out of a locked stretch.
class StorageLock {
 public:
  StorageLock() { StorageData::processing(); }
  ~StorageLock() { StorageData::complete(); }
  StorageLock(const StorageLock&) = delete;
  StorageLock& operator=(const StorageLock&) = delete;
};

}  // namespace

int StorageData::initialize() {
  AutoMutex lock(m_hMutex);
  if (csName.size() == 0) {
    String name;
    if (!getUtilGetHostName(name)) {
      throw CIMOperationFailedException("StorInvProvider Can't determine name of computer system");
    }
    csName = name;
  }
  return 0;
}

void StorageData::terminate() {
  processing();
  clearinstances();
  complete();
}

void StorageData::processing() {
  m_hMutex.lock();
  m_iLocate = -1;
}

void StorageData::complete() {
  m_iLocate = -1;
  m_hMutex.unlock();
}

void StorageData::clearinstances() {
  m_aryDiskDriveInst.clear();
  m_aryCDROMDriveInst.clear();
  m_aryDVDROMDriveInst.clear();
  m_aryFloppyDriveInst.clear();
  m_aryLogicalDiskInst.clear();
}

void StorageData::get_storage() {
  mgmt::storage::ModuleTables().Clear();
  mgmt::storage::LegacyScanInputs& inputs = mgmt::storage::ModuleScanInputs();
  inputs.Reset();
  if (mgmt::storage::HaveSysBlock()) {
    mgmt::storage::ScanSysBlock(mgmt::storage::ModuleTables(), mgmt::storage::RealSysfsScanHooks());
  } else {
    mgmt::storage::ScanProcLayout();
  }
  inputs.Reset();
}

void StorageData::save_storageInstances() {
  mgmt::storage::ScanTables& tables = mgmt::storage::ModuleTables();
  for (const DiskDriveEntry& disk : tables.disks) {
    deliverStorageData(mgmt::storage::BuildDiskDriveInstance(disk, csName), kStorageDiskDrive);
  }
  for (const xDROMDriveEntry& drive : tables.opticals) {
    if (drive.mediaType != "CD-ROM") continue;
    deliverStorageData(mgmt::storage::BuildCdromDriveInstance(drive, csName), kStorageCdromDrive);
  }
  for (const LogicalDiskEntry& disk : tables.logicalDisks) {
    deliverStorageData(mgmt::storage::BuildLogicalDiskInstance(disk, csName), kStorageLogicalDisk);
  }
  tables.Clear();
}

Array<CIMInstance>* StorageData::ArrayOf(int type) {
  switch (type) {
    case kStorageDiskDrive:
      return &m_aryDiskDriveInst;
    case kStorageCdromDrive:
      return &m_aryCDROMDriveInst;
    case kStorageDvdDrive:
      return &m_aryDVDROMDriveInst;
    case kStorageFloppyDrive:
      return &m_aryFloppyDriveInst;
    case kStorageLogicalDisk:
      return &m_aryLogicalDiskInst;
    default:
      return nullptr;
  }
}

void StorageData::deliverStorageData(const CIMInstance& instance, int type) {
  if (Array<CIMInstance>* array = ArrayOf(type)) array->append(instance.clone());
}

void StorageData::init_DiskDriveEntry(DiskDriveEntry* entry) {
  if (entry != nullptr) *entry = DiskDriveEntry{};
}

void StorageData::init_xDROMDriveEntry(xDROMDriveEntry* entry) {
  if (entry != nullptr) *entry = xDROMDriveEntry{};
}

void StorageData::init_LogicalDiskEntry(LogicalDiskEntry* entry) {
  if (entry != nullptr) *entry = LogicalDiskEntry{};
}

CIMInstance* StorageData::GetFirstStorageData(int type) { return GetNextStorageData(type); }

CIMInstance* StorageData::GetNextStorageData(int type) {
  ++m_iLocate;
  Array<CIMInstance>* array = ArrayOf(type);
  if (array == nullptr || m_iLocate < 0 || static_cast<Uint32>(m_iLocate) >= array->size()) {
    return nullptr;
  }
  return &(*array)[static_cast<Uint32>(m_iLocate)];
}

CIMInstance* StorageData::GetStorageData(const CIMObjectPath& path, int type) {
  Array<CIMInstance>* array = ArrayOf(type);
  if (array == nullptr) return nullptr;
  const CIMConstClass keyed = mgmt::storage::KeyedClass(type);
  for (Uint32 i = 0; i < array->size(); ++i) {
    if ((*array)[i].buildPath(keyed) == path) return &(*array)[i];
  }
  return nullptr;
}

Array<CIMInstance> StorageData::GetAllStorageDatas(int type) {
  const Array<CIMInstance>* array = ArrayOf(type);
  return array != nullptr ? *array : Array<CIMInstance>();
}

void getStorInv() {
  StorageLock lock;
  StorageData::get_storage();
  StorageData::clearinstances();
  StorageData::save_storageInstances();
}

void* runStorInv(void*) {
  while (storage_thread_running.load() != 0) {
    getStorInv();
    std::this_thread::sleep_for(std::chrono::seconds(5));
  }
  storage_thread_exit.store(1);
  return nullptr;
}

bool getUtilGetHostName(String& name) {
  char host[64] = {};
  if (gethostname(host, sizeof host - 1) != 0) return false;
  host[sizeof host - 1] = '\0';

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) == 0) {
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
    // A canonical name too long for the buffer is not cut: the short name stays.
    const char* canonical = found != nullptr ? found->ai_canonname : nullptr;
    if (canonical != nullptr && canonical[0] != '\0' && std::strlen(canonical) < sizeof host) {
      std::strcpy(host, canonical);
    }
  }
  try {
    name = String(host);
  } catch (const Exception&) {
    return false;  // not UTF-8: no usable name
  }
  return true;
}

}  // namespace Pegasus
