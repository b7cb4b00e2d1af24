// HM_SMBIOSConfiguration: on platforms without a BMC (PnP-BIOS/SMBIOS hardware
// monitoring) the one setting such a platform has, shutting the host down on
// high temperature, kept in smbios.conf. One instance, named by the key
// "Name" = "The Single Instance", built at initialize and after each
// modification.
#ifndef MGMT_PROVIDERS_BMCCONF_SMBCONFPROV_H
#define MGMT_PROVIDERS_BMCCONF_SMBCONFPROV_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include "synchcim.h"

namespace Pegasus {

class SMBiosConf {
 public:
  static constexpr Uint16 kNoPlatform = 0xFFFF;

  SMBiosConf();

  /// Adds "Name", "Platform", "ScheduledPowerOn_Enabled" and
  /// "ShutdownTempHigh"; false (nothing added) while no platform is set.
  bool formInstance(CIMInstance& instance) const;
  /// Shutdown on high temperature from smbios.conf: a non-zero number is true;
  /// a missing file reads as false.
  void LoadSettings();
  /// Writes the setting to smbios.conf as 1 or 0. @return 0, or -1 when the
  /// file could not be written.
  int SaveSettings() const;

  Uint16 GetPlatform() const { return platform_; }
  void SetPlatform(Uint16 platform) { platform_ = platform; }
  bool GetShutdownTempHigh() const { return shutdownTempHigh_; }
  void SetShutdownTempHigh(bool on) { shutdownTempHigh_ = on; }

 private:
  String name_;
  Uint16 platform_;
  bool shutdownTempHigh_;
  bool scheduledPowerOn_;
};

class HM_SMBIOSConfiguration : public CIMInstanceProvider {
 public:
  HM_SMBIOSConfiguration();
  ~HM_SMBIOSConfiguration() override;

  /// On a "PNPBIOS" platform: loads smbios.conf and builds the instance.
  /// Elsewhere the provider stays empty.
  void initialize(CIMOMHandle& cimom) override;
  void terminate() override;
  /// The instance, for its keyed path or the class's path without keys.
  void getInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                   const Boolean includeQualifiers, const Boolean includeClassOrigin,
                   const CIMPropertyList& propertyList, InstanceResponseHandler& handler) override;
  void enumerateInstances(const OperationContext& context, const CIMObjectPath& classReference,
                          const Boolean includeQualifiers, const Boolean includeClassOrigin,
                          const CIMPropertyList& propertyList,
                          InstanceResponseHandler& handler) override;
  void enumerateInstanceNames(const OperationContext& context, const CIMObjectPath& classReference,
                              ObjectPathResponseHandler& handler) override;
  /// Takes "ShutdownTempHigh" and writes smbios.conf. Throws
  /// CIMObjectNotFoundException where there is no instance (another platform,
  /// another key), CIMOperationFailedException when the file cannot be written.
  void modifyInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject, const Boolean includeQualifiers,
                      const CIMPropertyList& propertyList, ResponseHandler& handler) override;
  /// Both throw CIMNotSupportedException.
  void createInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      const CIMInstance& instanceObject,
                      ObjectPathResponseHandler& handler) override;
  void deleteInstance(const OperationContext& context, const CIMObjectPath& instanceReference,
                      ResponseHandler& handler) override;

  void lock() { synch_.lock(); }
  void unlock() { synch_.unlock(); }

 private:
  void reformInstances();
  /// Whether `path` names the instance: its keys, or no keys at all.
  bool Names(const CIMObjectPath& path) const;

  Array<CIMObjectPath> paths_;
  Array<CIMInstance> instances_;
  SMBiosConf conf_;
  SynchCIMOp synch_;
};

}  // namespace Pegasus

#endif
