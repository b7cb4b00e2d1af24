// SM_Bus: one instance per numbered bus the kernel lists under /proc/bus (PCI buses
// under /proc/bus/pci, USB buses under /proc/bus/usb, ...). Not made from the
// SMBIOS table: initialize scans /proc/bus once, and terminate leaves the table
// and its use count alone.
#ifndef MGMT_PROVIDERS_DMI_SM_BUS_H
#define MGMT_PROVIDERS_DMI_SM_BUS_H

#include <string_view>

#include "DmiProvider.h"

namespace Pegasus {

class SM_Bus : public DmiProvider {
 public:
  void initialize(CIMOMHandle& cimom) override;
  void terminate() override;

  /// Scans every name under /proc/bus in sorted order: 0, or -1 (logged) when
  /// /proc/bus cannot be listed.
  int searchSysBus();
  /// Adds an instance for every numbered entry of /proc/bus/<bus>, in sorted
  /// order: 0, or -1 (logged) when it cannot be listed.
  int searchSubBus(char* bus);
};

/// Whether `entry` under /proc/bus/<bus> names a bus: decimal digits, and for PCI
/// hexadecimal digits (the kernel names PCI buses "00", "3a", "ae"), optionally
/// after a hexadecimal domain and a colon ("0001:00").
bool IsBusEntry(std::string_view bus, std::string_view entry);

}  // namespace Pegasus

#endif
