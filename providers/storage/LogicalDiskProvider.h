// LogicalDiskProvider: SM_LogicalDisk, the partitions of the drives found.
#ifndef MGMT_PROVIDERS_STORAGE_LOGICALDISKPROVIDER_H
#define MGMT_PROVIDERS_STORAGE_LOGICALDISKPROVIDER_H

#include "StorageProvider.h"

namespace Pegasus {

class LogicalDiskProvider : public StorageProvider {
 public:
  LogicalDiskProvider() : StorageProvider(kStorageLogicalDisk, LOGICALDISKCLASS) {}
};

}  // namespace Pegasus

#endif
