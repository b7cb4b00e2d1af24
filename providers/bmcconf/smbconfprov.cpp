#include "smbconfprov.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Provider/ProviderException.h>

#include <strings.h>
#include <syslog.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "bmcconfprovmain.h"
#include "confcheck.h"
#include "smbapi.h"
#include "util.h"

namespace Pegasus {
namespace {

bool IsSmbiosClass(const CIMName& className) {
  return !className.isNull() &&
         String::equalNoCase(className.getString(), kSmbiosConfigurationClass);
}

}  // namespace

SMBiosConf::SMBiosConf()
    : name_(kSingleInstanceName),
      platform_(kNoPlatform),
      shutdownTempHigh_(true),
      scheduledPowerOn_(false) {}

bool SMBiosConf::formInstance(CIMInstance& instance) const {
  if (platform_ == kNoPlatform) return false;
  instance.addProperty(CIMProperty(CIMName("Name"), CIMValue(name_)));
  instance.addProperty(CIMProperty(CIMName("Platform"), CIMValue(platform_)));
  instance.addProperty(
      CIMProperty(CIMName("ScheduledPowerOn_Enabled"), CIMValue(Boolean(scheduledPowerOn_))));
  instance.addProperty(
      CIMProperty(CIMName("ShutdownTempHigh"), CIMValue(Boolean(shutdownTempHigh_))));
  return true;
}

void SMBiosConf::LoadSettings() {
  int value = 0;
  SMBLoadSettings(&value);
  shutdownTempHigh_ = value != 0;
}

int SMBiosConf::SaveSettings() const { return SMBSaveSettings(shutdownTempHigh_ ? 1 : 0); }

HM_SMBIOSConfiguration::HM_SMBIOSConfiguration() = default;

HM_SMBIOSConfiguration::~HM_SMBIOSConfiguration() = default;

void HM_SMBIOSConfiguration::initialize(CIMOMHandle&) {
  synch_.initialize(0);
  char text[256] = {};
  mgmt::smbapi::GetPlatformType(text);
  if (strncasecmp(text, "PNPBIOS", 7) != 0) return;
  std::lock_guard<HM_SMBIOSConfiguration> guard(*this);
  conf_.SetPlatform(0);
  conf_.LoadSettings();
  reformInstances();
}

void HM_SMBIOSConfiguration::terminate() { synch_.uninitialize(); }

void HM_SMBIOSConfiguration::reformInstances() {
  CIMInstance instance{CIMName(kSmbiosConfigurationClass)};
  const bool formed = conf_.formInstance(instance);
  paths_.clear();
  instances_.clear();
  if (!formed) return;
  // Keyed by "Name", so that a client can address (and modify) the instance.
  Array<CIMKeyBinding> keys;
  keys.append(CIMKeyBinding(CIMName("Name"), String(kSingleInstanceName), CIMKeyBinding::STRING));
  const CIMObjectPath path(String(), CIMNamespaceName(kConfigurationNamespace),
                           CIMName(kSmbiosConfigurationClass), keys);
  instance.setPath(path);
  paths_.append(path);
  instances_.append(instance);
}

bool HM_SMBIOSConfiguration::Names(const CIMObjectPath& path) const {
  if (!IsSmbiosClass(path.getClassName())) return false;
  const Array<CIMKeyBinding>& keys = path.getKeyBindings();
  if (keys.size() == 0) return true;
  for (Uint32 i = 0; i < paths_.size(); ++i) {
    const CIMObjectPath local(String(), CIMNamespaceName(kConfigurationNamespace),
                              paths_[i].getClassName(), keys);
    if (local == paths_[i]) return true;
  }
  return false;
}

void HM_SMBIOSConfiguration::getInstance(const OperationContext&,
                                         const CIMObjectPath& instanceReference, const Boolean,
                                         const Boolean, const CIMPropertyList&,
                                         InstanceResponseHandler& handler) {
  std::lock_guard<HM_SMBIOSConfiguration> guard(*this);
  handler.processing();
  if (instances_.size() > 0 && Names(instanceReference)) handler.deliver(instances_[0].clone());
  handler.complete();
}

void HM_SMBIOSConfiguration::enumerateInstances(const OperationContext&, const CIMObjectPath&,
                                                const Boolean, const Boolean,
                                                const CIMPropertyList&,
                                                InstanceResponseHandler& handler) {
  std::lock_guard<HM_SMBIOSConfiguration> guard(*this);
  handler.processing();
  for (Uint32 i = 0; i < instances_.size(); ++i) handler.deliver(instances_[i].clone());
  handler.complete();
}

void HM_SMBIOSConfiguration::enumerateInstanceNames(const OperationContext&, const CIMObjectPath&,
                                                    ObjectPathResponseHandler& handler) {
  std::lock_guard<HM_SMBIOSConfiguration> guard(*this);
  handler.processing();
  handler.deliver(paths_);
  handler.complete();
}

void HM_SMBIOSConfiguration::modifyInstance(const OperationContext&,
                                            const CIMObjectPath& instanceReference,
                                            const CIMInstance& instanceObject, const Boolean,
                                            const CIMPropertyList&, ResponseHandler& handler) {
  std::lock_guard<HM_SMBIOSConfiguration> guard(*this);
  handler.processing();
  if (IsSmbiosClass(instanceReference.getClassName())) {
    // Without the setting (not a PnP-BIOS platform) there is nothing to change,
    // and nothing is written.
    if (instances_.size() == 0 || !Names(instanceReference))
      throw CIMObjectNotFoundException(instanceReference.toString());
    const bool before = conf_.GetShutdownTempHigh();
    for (Uint32 i = 0; i < instanceObject.getPropertyCount(); ++i) {
      const CIMConstProperty property = instanceObject.getProperty(i);
      if (property.getName().getString() != "ShutdownTempHigh") continue;
      const CIMValue& value = property.getValue();
      if (value.isNull()) continue;
      if (value.getType() != CIMTYPE_BOOLEAN || value.isArray()) {
        mgmt::bmcconf::LogRefused(kSmbiosConfigurationClass, "ShutdownTempHigh", "not a boolean");
        continue;
      }
      Boolean on = false;
      value.get(on);
      conf_.SetShutdownTempHigh(on);
    }
    if (conf_.SaveSettings() != 0) {
      const std::string why = std::string("smbios.conf cannot be written: ") + std::strerror(errno);
      conf_.SetShutdownTempHigh(before);
      syslog(LOG_ERR, "ERROR, HM_SMBIOSConfiguration::modifyInstance: %s", why.c_str());
      throw CIMOperationFailedException(String(why.c_str()));
    }
    reformInstances();
  }
  handler.complete();
}

void HM_SMBIOSConfiguration::createInstance(const OperationContext&, const CIMObjectPath&,
                                            const CIMInstance&, ObjectPathResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void HM_SMBIOSConfiguration::deleteInstance(const OperationContext&, const CIMObjectPath&,
                                            ResponseHandler&) {
  throw CIMNotSupportedException(String());
}

}  // namespace Pegasus
