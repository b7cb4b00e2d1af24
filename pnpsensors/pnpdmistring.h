// The string set of a structure fetched through /dev/hmpdrv: the NUL-terminated
// strings after the formatted area, ended by an extra NUL. Decoding stays inside
// the fetch buffer, so a set that does not end there is never read past it.
#ifndef MGMT_PNPSENSORS_PNPDMISTRING_H
#define MGMT_PNPSENSORS_PNPDMISTRING_H

#include <cstdint>
#include <span>

namespace Pegasus {

/// Entries of a string list: entry 0 (the empty text) and up to 32 strings.
inline constexpr int kPnpStringListSize = 33;
/// What PnPSelectString gives for a string number above the count.
inline constexpr const char* kPnpBadStringText = "** Error ** Bad string number";

/// Decodes the string set of the structure at the start of `fetched` (the whole
/// fetch buffer): strings[0] becomes the empty text, strings[1] to strings[count]
/// the strings in order (at most 32; a set of one empty string counts 0). Returns
/// the position just past the set's closing NUL; null when the set has more than
/// 32 strings (the first 32 are listed) or does not end inside `fetched` (none
/// are listed).
const uint8_t* PnPGetDmiStrings(std::span<const uint8_t> fetched, const char** strings, int& count);

/// strings[n]: the empty text for 0, kPnpBadStringText above `count`.
const char* PnPSelectString(const char* const* strings, int count, uint8_t n);

}  // namespace Pegasus

#endif
