// SM_ComputerSystemProduct: the machine's product identity, one instance per
// System Information structure (type 1).
#ifndef MGMT_PROVIDERS_DMI_SM_COMPUTERSYSTEMPRODUCT_H
#define MGMT_PROVIDERS_DMI_SM_COMPUTERSYSTEMPRODUCT_H

#include <cstdint>
#include <span>
#include <string>

#include "DmiProvider.h"

namespace Pegasus {

class SM_ComputerSystemProduct : public SmbiosProvider {
 public:
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_ComputerSystemProduct"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

/// The 16 UUID bytes as upper-case text: the first three groups little-endian
/// (as SMBIOS stores them), the last two in stored order.
std::string SystemUuidText(std::span<const std::uint8_t, 16> bytes);

}  // namespace Pegasus

#endif
