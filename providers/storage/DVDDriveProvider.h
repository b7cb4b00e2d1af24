// DVDDriveProvider: SM_DVDDrive. The collector files every optical drive as a
// CD-ROM drive, so this class is served and always empty.
#ifndef MGMT_PROVIDERS_STORAGE_DVDDRIVEPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_DVDDRIVEPROVIDER_H

#include "StorageProvider.h"

namespace Pegasus {

class DVDDriveProvider : public StorageProvider {
 public:
  DVDDriveProvider() : StorageProvider(kStorageDvdDrive, DVDDRIVECLASS) {}
};

}  // namespace Pegasus

#endif
