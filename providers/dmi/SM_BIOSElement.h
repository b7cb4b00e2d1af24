// SM_BIOSElement: the system firmware as one instance, from the BIOS Information
// (type 0) and BIOS Language Information (type 13) structures.
#ifndef MGMT_PROVIDERS_DMI_SM_BIOSELEMENT_H
#define MGMT_PROVIDERS_DMI_SM_BIOSELEMENT_H

#include <string>

#include "DmiProvider.h"

namespace Pegasus {

class SM_BIOSElement : public SmbiosProvider {
 public:
  /// Builds the one instance: the first type 0 structure fills its BIOS
  /// properties and the first type 13 structure its languages; later ones are
  /// left out, since the instance can hold each property once. It is listed even
  /// when the table has neither.
  void parseDmiV2(unsigned char* table, unsigned long length);

 protected:
  const char* ClassName() const override { return "SM_BIOSElement"; }
  void Parse(unsigned char* table, unsigned long length) override { parseDmiV2(table, length); }
};

/// The CIM datetime of a firmware release date "mm/dd/yy" or "mm/dd/yyyy":
/// yyyymmdd000000.000000 and the local UTC offset. `month`, `day` and `year` are
/// the values of the previous date; a number that cannot be read keeps its value.
std::string BiosReleaseDate(const char* text, int& month, int& day, int& year);

}  // namespace Pegasus

#endif
