// SM_PhysicalMemory: one instance per Memory Device structure (type 17), installed
// or empty.
#ifndef MGMT_PROVIDERS_DMI_SM_PHYSICALMEMORY_H
#define MGMT_PROVIDERS_DMI_SM_PHYSICALMEMORY_H

#include <cstdint>
#include <optional>

#include "DmiProvider.h"

namespace Pegasus {

class SM_PhysicalMemory : public SmbiosProvider {
 public:
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_PhysicalMemory"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

/// Bytes of a memory device from its size word (bit 15: kilobytes, else
/// megabytes) and, for the word 0x7FFF, its extended size in megabytes when the
/// structure has one. nullopt for 0xFFFF (size unknown).
std::optional<std::uint64_t> MemoryCapacity(std::uint16_t size,
                                            std::optional<std::uint32_t> extendedSize);

/// The type detail as published: the word itself when bit 0 is set, otherwise the
/// number of its highest set bit (0 for none).
std::uint16_t MemoryTypeDetail(std::uint16_t detail);

}  // namespace Pegasus

#endif
