// libStorInvProvider: disk drives, CD-ROM drives and logical disks of the host,
// rescanned on every request, served by five read-only instance providers.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEPROVIDERMAIN_H
#define MGMT_PROVIDERS_STORAGE_STORAGEPROVIDERMAIN_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMProvider.h>

/// The module's entry point: a new provider object for "SMDiskDriveProvider",
/// "SMCDROMDriveProvider", "SMDVDDriveProvider", "SMFloppyDriveProvider" or
/// "SMLogicalDiskProvider" (compared without regard to case), owned by the
/// caller; null for any other name.
extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName);

#endif
