// Fan names. A cooling-device structure identifies its fan only by an OEM-defined
// 32-bit value, whose meaning depends on the machine; per-model tables turn it into
// a name. The model is chosen once per discovery pass from the system product name
// of the SMBIOS table (read through /dev/smbdrv, bmclib/smbapi.h).
#ifndef MGMT_PNPSENSORS_PNPOEMFAN_H
#define MGMT_PNPSENSORS_PNPOEMFAN_H

#include <cstdint>
#include <string>

namespace Pegasus {

/// One row of a fan-name table; a table ends at the first row without a name.
struct _indexedString_t {
  uint32_t value;
  const char* name;
};

/// Turns an OEM value into a fan name, or null when the model has none for it.
using FanNameFunc = const char* (*)(uint32_t value);

/// One row of the model table: models whose product name begins with
/// `modelPrefix` (compared without regard to case) use `getFanName`.
struct OemParserRow {
  const char* modelPrefix;
  FanNameFunc getFanName;
};

/// The model table, ended by a row with a null prefix.
extern const OemParserRow g_oemparsers[];
/// The row chosen for this machine, or null.
extern const OemParserRow* g_poemParser;

extern const _indexedString_t Cedar_OEMStr[];
extern const _indexedString_t Elm_OEMStr[];
extern const _indexedString_t Birch_OEMStr[];

/// Chooses g_poemParser from the SMBIOS product name. Without a product name, or
/// when no model matches, g_poemParser stays as it was.
void initializeOEMParser();

/// The fan name of an OEM value: the chosen model's name (null when its table has
/// none for the value), or "Fan" when no model was chosen.
const char* getOEMFanName(uint32_t value);

/// The name of the first row of `table` whose value equals `value`, or null.
const char* _GetFanName(uint32_t value, const _indexedString_t* table);

/// Looked up with the value's upper 16 bits (lower 16 bits cleared).
const char* Cedar_GetFanName(uint32_t value);
/// Looked up with the value's low byte.
const char* Elm_GetFanName(uint32_t value);
/// Looked up with the value's low byte.
const char* Birch_GetFanName(uint32_t value);
/// A stem chosen by the low byte's high nibble followed by its low nibble in
/// decimal ("Front FAN 3" for 0x13). The text lives in one static buffer that the
/// next call overwrites.
const char* Fir_GetFanName(uint32_t value);

}  // namespace Pegasus

namespace mgmt::pnp {

/// The product name the last choice was made from (a copy; the table it came from
/// is not kept), empty when it was unknown.
const std::string& OemProductName();

}  // namespace mgmt::pnp

#endif
