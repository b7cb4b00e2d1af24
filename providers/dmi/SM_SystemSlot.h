// SM_SystemSlot: one instance per System Slots structure (type 9), its slot type
// translated into a CIM connector code.
#ifndef MGMT_PROVIDERS_DMI_SM_SYSTEMSLOT_H
#define MGMT_PROVIDERS_DMI_SM_SYSTEMSLOT_H

#include "DmiProvider.h"

namespace Pegasus {

class SM_SystemSlot : public SmbiosProvider {
 public:
  void parseDmiV2(unsigned char* table, unsigned long length);

  /// Appends the CIM code of SMBIOS slot `type` to `codes` and returns 1; for a
  /// type without one appends 1 (other), copies the type's name into `text` (at
  /// most `room` bytes, NUL included) and returns 0.
  int searchProperConnType(unsigned short type, Array<unsigned short>& codes, char* text, int room);

 protected:
  const char* ClassName() const override { return "SM_SystemSlot"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

}  // namespace Pegasus

#endif
