// SM_BaseBoard: one instance per Base Board Information structure (type 2).
#ifndef MGMT_PROVIDERS_DMI_SM_BASEBOARD_H
#define MGMT_PROVIDERS_DMI_SM_BASEBOARD_H

#include "DmiProvider.h"

namespace Pegasus {

class SM_BaseBoard : public SmbiosProvider {
 public:
  /// The first board's Tag is "Base Board"; further boards (multi-node machines
  /// list one per node) are "Base Board 2", "Base Board 3", ... so that each has
  /// a path of its own.
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_BaseBoard"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

}  // namespace Pegasus

#endif
