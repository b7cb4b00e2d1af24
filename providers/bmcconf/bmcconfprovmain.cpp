// libBmcConfProvider: publishes and changes the BMC configuration kept in
// ipmi.conf and bmcchannel.conf (HM_IPMIConfiguration, one instance, and
// HM_BMCChannelConfiguration, one per configured LAN channel), and the
// over-temperature switch of platforms without a BMC kept in smbios.conf
// (HM_SMBIOSConfiguration). A change is written to the file and handed to
// bmcsetup, which applies it to the BMC.
#include "bmcconfprovmain.h"

#include <memory>

#include "imbconfprov.h"
#include "smbconfprov.h"

namespace Pegasus {

const char* const kIpmiConfigurationClass = "HM_IPMIConfiguration";
const char* const kChannelConfigurationClass = "HM_BMCChannelConfiguration";
const char* const kSmbiosConfigurationClass = "HM_SMBIOSConfiguration";
const char* const kConfigurationNamespace = "root/cimv2";
const char* const kSingleInstanceName = "The Single Instance";

}  // namespace Pegasus

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(
    const Pegasus::String& providerName) {
  using namespace Pegasus;
  // Nothing may propagate out of a C entry point: a failure here (out of
  // memory) answers "no provider", which the object manager reports.
  try {
    if (String::equalNoCase(providerName, "BmcConfProv_SMBIOS")) {
      return std::make_unique<HM_SMBIOSConfiguration>().release();
    }
    if (String::equalNoCase(providerName, "BmcConfProv_IPMI")) {
      return std::make_unique<HM_IPMIConfiguration>().release();
    }
  } catch (...) {
  }
  return nullptr;
}
