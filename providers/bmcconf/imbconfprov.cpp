#include "imbconfprov.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Provider/ProviderException.h>

#include <strings.h>
#include <syslog.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "CimNumber.h"
#include "bmcconfprovmain.h"
#include "conflock.h"
#include "smbapi.h"

namespace Pegasus {

int g_initialized = 0;

namespace {

enum class Served { kNone, kIpmi, kChannel };

Served ClassOf(const CIMName& className) {
  if (className.isNull()) return Served::kNone;
  const String& name = className.getString();
  if (String::equalNoCase(name, kIpmiConfigurationClass)) return Served::kIpmi;
  if (String::equalNoCase(name, kChannelConfigurationClass)) return Served::kChannel;
  return Served::kNone;
}

/// An instance path as this provider builds them: no host, the namespace,
/// the class and the key.
CIMObjectPath LocalPath(const CIMName& className, const Array<CIMKeyBinding>& keys) {
  return CIMObjectPath(String(), CIMNamespaceName(kConfigurationNamespace), className, keys);
}

/// The platform type text without its line end and trailing blanks.
std::string PlatformText() {
  char text[256] = {};
  mgmt::smbapi::GetPlatformType(text);
  std::string out(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
    out.pop_back();
  return out;
}

[[noreturn]] void Failed(const char* operation, const std::string& why) {
  syslog(LOG_ERR, "ERROR, %s: %s", operation, why.c_str());
  throw CIMOperationFailedException(String(why.c_str()));
}

void Check(ConfSave result, const char* operation, const std::string& why) {
  if (result != ConfSave::kDone) Failed(operation, why);
}

/// The configuration lock for a read-modify-write of the files.
mgmt::bmc::ConfigLock LockFiles(const char* operation) {
  std::optional<mgmt::bmc::ConfigLock> lock = mgmt::bmc::ConfigLock::Acquire();
  if (!lock) {
    Failed(operation,
           std::string("the BMC configuration files cannot be locked: ") + std::strerror(errno));
  }
  return std::move(*lock);
}

}  // namespace

void formKeyBindingFromProperty(const CIMInstance& instance, Array<CIMKeyBinding>& keys,
                                const char* propertyName) {
  const Uint32 at = instance.findProperty(CIMName(propertyName));
  if (at == PEG_NOT_FOUND) return;
  keys.append(CIMKeyBinding(CIMName(propertyName), instance.getProperty(at).getValue()));
}

HM_IPMIConfiguration::HM_IPMIConfiguration() = default;

HM_IPMIConfiguration::~HM_IPMIConfiguration() = default;

void HM_IPMIConfiguration::initialize(CIMOMHandle&) {
  if (g_initialized != 0) return;
  g_initialized = 1;
  const std::string text = PlatformText();
  if (strncasecmp(text.c_str(), "IPMI15", 6) == 0) {
    conf_.SetPlatform(2);
  } else if (strncasecmp(text.c_str(), "IPMI10", 6) == 0) {
    conf_.SetPlatform(1);
  } else {
    conf_.SetPlatform(5);
  }
  conf_.SetPlatformOther(ConfText(text.c_str()));
  conf_.LoadSettings();
  synch_.initialize(0);
}

void HM_IPMIConfiguration::terminate() {
  g_initialized = 0;
  synch_.uninitialize();
}

void HM_IPMIConfiguration::formInstances(const CIMName& className) {
  if (ClassOf(className) == Served::kNone) return;
  ipmiPaths_.clear();
  ipmiInstances_.clear();
  channelPaths_.clear();
  channelInstances_.clear();
  if (conf_.GetPlatform() == IPMIConf::kNoPlatform) return;
  conf_.GetConfig(0);

  CIMInstance ipmi{CIMName(kIpmiConfigurationClass)};
  if (conf_.formInstance(ipmi)) {
    Array<CIMKeyBinding> keys;
    formKeyBindingFromProperty(ipmi, keys, "Name");
    const CIMObjectPath path = LocalPath(CIMName(kIpmiConfigurationClass), keys);
    ipmi.setPath(path);
    ipmiInstances_.append(ipmi);
    ipmiPaths_.append(path);
  }
  for (int slot = 0; slot < IPMIConf::kSlots; ++slot) {
    CIMInstance channel{CIMName(kChannelConfigurationClass)};
    if (!conf_.Channel(slot).formInstance(channel)) continue;
    Array<CIMKeyBinding> keys;
    formKeyBindingFromProperty(channel, keys, "BMC_Channel");
    const CIMObjectPath path = LocalPath(CIMName(kChannelConfigurationClass), keys);
    channel.setPath(path);
    channelInstances_.append(channel);
    channelPaths_.append(path);
  }
}

void HM_IPMIConfiguration::getInstance(const OperationContext&,
                                       const CIMObjectPath& instanceReference, const Boolean,
                                       const Boolean, const CIMPropertyList&,
                                       InstanceResponseHandler& handler) {
  std::lock_guard<HM_IPMIConfiguration> guard(*this);
  handler.processing();
  formInstances(instanceReference.getClassName());
  const Served served = ClassOf(instanceReference.getClassName());
  const CIMObjectPath wanted =
      LocalPath(instanceReference.getClassName(), instanceReference.getKeyBindings());
  const Array<CIMObjectPath>& paths = served == Served::kIpmi ? ipmiPaths_ : channelPaths_;
  const Array<CIMInstance>& instances =
      served == Served::kIpmi ? ipmiInstances_ : channelInstances_;
  if (served != Served::kNone) {
    for (Uint32 i = 0; i < paths.size(); ++i) {
      if (paths[i] == wanted) handler.deliver(instances[i].clone());
    }
  }
  handler.complete();
}

void HM_IPMIConfiguration::enumerateInstances(const OperationContext&,
                                              const CIMObjectPath& classReference, const Boolean,
                                              const Boolean, const CIMPropertyList&,
                                              InstanceResponseHandler& handler) {
  std::lock_guard<HM_IPMIConfiguration> guard(*this);
  handler.processing();
  formInstances(classReference.getClassName());
  switch (ClassOf(classReference.getClassName())) {
    case Served::kIpmi:
      for (Uint32 i = 0; i < ipmiInstances_.size(); ++i) handler.deliver(ipmiInstances_[i].clone());
      break;
    case Served::kChannel:
      for (Uint32 i = 0; i < channelInstances_.size(); ++i)
        handler.deliver(channelInstances_[i].clone());
      break;
    case Served::kNone:
      break;
  }
  handler.complete();
}

void HM_IPMIConfiguration::enumerateInstanceNames(const OperationContext&,
                                                  const CIMObjectPath& classReference,
                                                  ObjectPathResponseHandler& handler) {
  std::lock_guard<HM_IPMIConfiguration> guard(*this);
  handler.processing();
  formInstances(classReference.getClassName());
  switch (ClassOf(classReference.getClassName())) {
    case Served::kIpmi:
      handler.deliver(ipmiPaths_);
      break;
    case Served::kChannel:
      handler.deliver(channelPaths_);
      break;
    case Served::kNone:
      break;
  }
  handler.complete();
}

void HM_IPMIConfiguration::modifyInstance(const OperationContext&,
                                          const CIMObjectPath& instanceReference,
                                          const CIMInstance& instanceObject, const Boolean,
                                          const CIMPropertyList&, ResponseHandler& handler) {
  std::lock_guard<HM_IPMIConfiguration> guard(*this);
  handler.processing();
  switch (ClassOf(instanceReference.getClassName())) {
    case Served::kIpmi: {
      const char* operation = "HM_IPMIConfiguration::modifyInstance";
      // Another writer (bmcsetup, a client that did not read first) may have
      // changed the files since the last build: start from what they hold now.
      const mgmt::bmc::ConfigLock files = LockFiles(operation);
      conf_.GetConfig(0);
      conf_.ApplyInstance(instanceObject);
      std::string why;
      Check(conf_.SetConfig(0, &why), operation, why);
      break;
    }
    case Served::kChannel:
      ModifyChannel(instanceReference, instanceObject);
      break;
    case Served::kNone:
      break;
  }
  handler.complete();
}

void HM_IPMIConfiguration::ModifyChannel(const CIMObjectPath& path, const CIMInstance& instance) {
  const char* operation = "HM_BMCChannelConfiguration::modifyInstance";
  const Array<CIMKeyBinding>& keys = path.getKeyBindings();
  const CIMKeyBinding* key = nullptr;
  for (Uint32 i = 0; i < keys.size(); ++i) {
    if (keys[i].getName().equal(CIMName("BMC_Channel"))) key = &keys[i];
  }
  if (key == nullptr) return;
  Uint16 channel = 0;
  const std::string keyText(static_cast<const char*>(key->getValue().getCString()));
  if (mgmt::broker::ParseInteger(keyText, channel) != mgmt::broker::NumberStatus::kOk) return;

  const mgmt::bmc::ConfigLock files = LockFiles(operation);
  conf_.GetConfig(0);
  for (int slot = 0; slot < IPMIConf::kSlots; ++slot) {
    IPMIChannelConf& conf = conf_.Channel(slot);
    if (conf.GetChannel() != channel) continue;
    conf.ApplyInstance(instance);
    std::string why;
    Check(conf.SetConfig(0, &why), operation, why);
  }
}

void HM_IPMIConfiguration::createInstance(const OperationContext&, const CIMObjectPath&,
                                          const CIMInstance&, ObjectPathResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void HM_IPMIConfiguration::deleteInstance(const OperationContext&, const CIMObjectPath&,
                                          ResponseHandler&) {
  throw CIMNotSupportedException(String());
}

void HM_IPMIConfiguration::invokeMethod(const OperationContext&, const CIMObjectPath&,
                                        const CIMName& methodName, const Array<CIMParamValue>&,
                                        MethodResultResponseHandler& handler) {
  std::lock_guard<HM_IPMIConfiguration> guard(*this);
  handler.processing();
  if (!methodName.isNull() && methodName.equal(CIMName("TestTrap"))) {
    handler.deliver(CIMValue(Boolean(conf_.TestTrap())));
  }
  handler.complete();
}

}  // namespace Pegasus
