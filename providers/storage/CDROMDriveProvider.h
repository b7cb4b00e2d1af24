// CDROMDriveProvider: SM_CDROMDrive, every optical drive found.
#ifndef MGMT_PROVIDERS_STORAGE_CDROMDRIVEPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_CDROMDRIVEPROVIDER_H

#include "StorageProvider.h"

namespace Pegasus {

class CDROMDriveProvider : public StorageProvider {
 public:
  CDROMDriveProvider() : StorageProvider(kStorageCdromDrive, CDROMDRIVECLASS) {}
};

}  // namespace Pegasus

#endif
