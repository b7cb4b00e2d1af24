// libDmiInventoryProvider's entry point.
#ifndef MGMT_PROVIDERS_DMI_BIOSPROVIDERMAIN_H
#define MGMT_PROVIDERS_DMI_BIOSPROVIDERMAIN_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMProvider.h>

/// Loads the SMBIOS table from /dev/smbdrv unless it is loaded, then returns a new
/// provider for "SM_BIOSElement", "SM_Processor", "SM_PhysicalMemory",
/// "SM_PortConnector", "SM_SystemSlot", "SM_Bus", "SM_ComputerSystemProduct",
/// "SM_BaseBoard" or "SM_Chassis" (compared without regard to case), owned by the
/// caller. Null for any other name, and for every name when the table cannot be
/// loaded; a later call tries the load again.
extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName);

#endif
