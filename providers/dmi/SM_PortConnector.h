// SM_PortConnector: one instance per Port Connector Information structure (type 8),
// its internal and external connector types translated into CIM connector codes.
#ifndef MGMT_PROVIDERS_DMI_SM_PORTCONNECTOR_H
#define MGMT_PROVIDERS_DMI_SM_PORTCONNECTOR_H

#include "DmiProvider.h"

namespace Pegasus {

class SM_PortConnector : public SmbiosProvider {
 public:
  void parseDmiV2(unsigned char* table, unsigned long length);

  /// Appends the CIM codes of SMBIOS connector `type` to `codes` and returns 1; for
  /// a type without codes appends 1 (other), writes the side mark (" internal:" for
  /// side 1, " external:" for side 2) and the type's name into `text` (at most
  /// `room` bytes, NUL included) and returns 0.
  int searchProperConnType(int side, unsigned short type, Array<unsigned short>& codes, char* text,
                           int room);

 protected:
  const char* ClassName() const override { return "SM_PortConnector"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

}  // namespace Pegasus

#endif
