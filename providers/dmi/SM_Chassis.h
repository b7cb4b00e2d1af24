// SM_Chassis: one instance per System Enclosure or Chassis structure (type 3).
#ifndef MGMT_PROVIDERS_DMI_SM_CHASSIS_H
#define MGMT_PROVIDERS_DMI_SM_CHASSIS_H

#include "DmiProvider.h"

namespace Pegasus {

/// Names of the SMBIOS chassis types 1 to 24, indexed by type - 1.
extern const char* const ChassisTypeNames[24];

class SM_Chassis : public SmbiosProvider {
 public:
  /// A chassis type (lock bit cleared) from 1 to 24 gives ChassisTypes and
  /// TypeDescriptions; any other value (0 included) neither.
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_Chassis"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

}  // namespace Pegasus

#endif
