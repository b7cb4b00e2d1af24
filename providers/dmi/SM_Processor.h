// SM_Processor: one instance per populated processor socket, from the Processor
// Information structures (type 4).
#ifndef MGMT_PROVIDERS_DMI_SM_PROCESSOR_H
#define MGMT_PROVIDERS_DMI_SM_PROCESSOR_H

#include "DmiProvider.h"

namespace Pegasus {

class SM_Processor : public SmbiosProvider {
 public:
  /// Populated sockets (status bit 6) become CPU0, CPU1, ... in table order.
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_Processor"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

}  // namespace Pegasus

#endif
