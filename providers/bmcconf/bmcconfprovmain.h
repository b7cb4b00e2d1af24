// libBmcConfProvider: the BMC configuration as CIM instances, and the module's
// entry point.
#ifndef MGMT_PROVIDERS_BMCCONF_BMCCONFPROVMAIN_H
#define MGMT_PROVIDERS_BMCCONF_BMCCONFPROVMAIN_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMProvider.h>

namespace Pegasus {

extern const char* const kIpmiConfigurationClass;     ///< "HM_IPMIConfiguration"
extern const char* const kChannelConfigurationClass;  ///< "HM_BMCChannelConfiguration"
extern const char* const kSmbiosConfigurationClass;   ///< "HM_SMBIOSConfiguration"
/// The namespace of every instance: "root/cimv2".
extern const char* const kConfigurationNamespace;
/// The "Name" of the single HM_IPMIConfiguration and HM_SMBIOSConfiguration
/// instance: "The Single Instance".
extern const char* const kSingleInstanceName;

}  // namespace Pegasus

/// The module's entry point: a new HM_SMBIOSConfiguration provider for
/// "BmcConfProv_SMBIOS", a new HM_IPMIConfiguration provider for
/// "BmcConfProv_IPMI" (compared without regard to case), owned by the caller;
/// null for any other name.
extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName);

#endif
