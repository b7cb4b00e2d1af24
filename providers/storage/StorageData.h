// StorageData: the collector behind the five storage providers. Every refresh
// scans the machine's disk drives, optical drives and partitions afresh and
// rebuilds the CIM instances the providers answer from. All of its state is
// module-wide: every provider object has a StorageData of its own, and all of
// them see the same tables, instance arrays, cursor and mutex.
//
// Two layouts are scanned. On a kernel without /sys/block (the 2.4 series) the
// drives come from /proc/ide, the boot log /var/log/dmesg, /proc/scsi/scsi and
// /proc/partitions, mounts from /etc/mtab, geometry and partition types from
// `fdisk -l`, free space from `df`. Where /sys/block exists, it is the source
// (see SysfsScan.h). Both fill the same tables and give the same classes.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEDATA_H
#define MGMT_PROVIDERS_STORAGE_STORAGEDATA_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Mutex.h>
#include <Pegasus/Common/String.h>

#include <atomic>

#include "StorageEntries.h"

namespace Pegasus {

extern const String NAMESPACE;           ///< "root/cimv2"
extern const String DISKDRIVECLASS;      ///< "SM_DiskDrive"
extern const String CDROMDRIVECLASS;     ///< "SM_CDROMDrive"
extern const String DVDDRIVECLASS;       ///< "SM_DVDDrive"
extern const String LOGICALDISKCLASS;    ///< "SM_LogicalDisk"
extern const String FLOPPYDRIVECLASS;    ///< "SM_FloppyDrive"
extern const String SUDISKDRIVECLASS;    ///< "CIM_DiskDrive"
extern const String SUCDROMDRIVECLASS;   ///< "CIM_CDROMDrive"
extern const String SUDVDDRIVECLASS;     ///< "CIM_DVDDrive"
extern const String SULOGICALDISKCLASS;  ///< "CIM_LogicalDisk"
extern const String SUFLOPPYDRIVECLASS;  ///< "CIM_FloppyDrive"

/// Storage type codes: which class (and instance array) an operation means.
constexpr int kStorageDiskDrive = 1;
constexpr int kStorageCdromDrive = 2;
constexpr int kStorageDvdDrive = 3;
constexpr int kStorageFloppyDrive = 4;
constexpr int kStorageLogicalDisk = 5;

class StorageData {
 public:
  StorageData() = default;
  ~StorageData() = default;
  StorageData(const StorageData&) = delete;
  StorageData& operator=(const StorageData&) = delete;

  /// Resolves the host name (SystemName of every instance) once per module.
  /// Throws CIMOperationFailedException "StorInvProvider Can't determine name of
  /// computer system" when there is none. Returns 0.
  int initialize();
  /// Empties the instance arrays under the mutex.
  void terminate();

  /// Takes the module's mutex (recursively for the calling thread) and resets
  /// the cursor to -1.
  static void processing();
  /// Resets the cursor to -1 and releases the mutex.
  static void complete();
  /// Empties all five instance arrays.
  static void clearinstances();

  /// One scan into the module's scan tables. Called with the mutex held.
  static void get_storage();
  /// Classifies and adds one device of the /proc/ide (type 1) or boot-log SCSI
  /// (type 2) layout. 0, or -1 for a bad argument or a medium that is neither a
  /// disk nor a CD-ROM.
  static int add_Storage(int type, const char* name);
  /// Adds one disk drive record, type 1 IDE or 2 SCSI. 0, or -1 for another type.
  static int add_HardDisk(int type, const char* name);
  /// Adds one optical drive record (type 1 IDE, CD-ROM flag 1). 0, or -1.
  static int add_xDROM(int type, const char* name, int cdrom);
  /// Adds the partitions of one drive listed in /proc/partitions. 0, or -1 when
  /// the name is null, the table is full or /proc/partitions can't be read.
  static int add_LogicalDisk(const char* name);
  /// Turns the scan tables into instances in the arrays and empties the tables.
  static void save_storageInstances();
  /// Appends a copy of `instance` to the array of `type`; another type: nothing.
  static void deliverStorageData(const CIMInstance& instance, int type);

  static void init_DiskDriveEntry(DiskDriveEntry* entry);
  static void init_xDROMDriveEntry(xDROMDriveEntry* entry);
  static void init_LogicalDiskEntry(LogicalDiskEntry* entry);

  /// Walks over the array of `type` with the shared cursor; only between
  /// processing() and complete(). Null past the end or for another type.
  static CIMInstance* GetFirstStorageData(int type);
  static CIMInstance* GetNextStorageData(int type);
  /// The instance of `type` whose path, built from the four keys the classes
  /// inherit, equals `path` (a local path: no host, no namespace). Null when none.
  static CIMInstance* GetStorageData(const CIMObjectPath& path, int type);
  /// A copy of the array of `type` (empty for another type).
  static Array<CIMInstance> GetAllStorageDatas(int type);

 private:
  static Array<CIMInstance>* ArrayOf(int type);

  static Array<CIMInstance> m_aryDiskDriveInst;
  static Array<CIMInstance> m_aryCDROMDriveInst;
  static Array<CIMInstance> m_aryDVDROMDriveInst;
  static Array<CIMInstance> m_aryFloppyDriveInst;
  static Array<CIMInstance> m_aryLogicalDiskInst;
  static Mutex m_hMutex;
  static int m_iLocate;
  static String csName;
};

/// One refresh: the scan, then the instances rebuilt, all under the module's
/// mutex, so two requests at once never scan the shared tables together.
void getStorInv();

/// Thread body that refreshes every 5 seconds while storage_thread_running is
/// non-zero, then sets storage_thread_exit to 1 and returns. Nothing starts it:
/// requests refresh synchronously.
void* runStorInv(void* unused);
extern std::atomic<int> storage_thread_running;
extern std::atomic<int> storage_thread_exit;

/// The host's name: the canonical name getaddrinfo gives for gethostname's
/// answer, or that answer itself when it does not resolve. False when
/// gethostname fails.
bool getUtilGetHostName(String& name);

}  // namespace Pegasus

#endif
