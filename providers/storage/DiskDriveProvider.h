// DiskDriveProvider: SM_DiskDrive, the disk drives found.
#ifndef MGMT_PROVIDERS_STORAGE_DISKDRIVEPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_DISKDRIVEPROVIDER_H

#include "StorageProvider.h"

namespace Pegasus {

class DiskDriveProvider : public StorageProvider {
 public:
  DiskDriveProvider() : StorageProvider(kStorageDiskDrive, DISKDRIVECLASS) {}
};

}  // namespace Pegasus

#endif
