// FloppyDriveProvider: SM_FloppyDrive. The collector looks for no floppy drives,
// so this class is served and always empty.
#ifndef MGMT_PROVIDERS_STORAGE_FLOPPYDRIVEPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_FLOPPYDRIVEPROVIDER_H

#include "StorageProvider.h"

namespace Pegasus {

class FloppyDriveProvider : public StorageProvider {
 public:
  FloppyDriveProvider() : StorageProvider(kStorageFloppyDrive, FLOPPYDRIVECLASS) {}
};

}  // namespace Pegasus

#endif
