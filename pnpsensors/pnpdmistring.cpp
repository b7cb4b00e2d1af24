#include "pnpdmistring.h"

#include "smbios/walker.h"

namespace Pegasus {

const uint8_t* PnPGetDmiStrings(std::span<const uint8_t> fetched, const char** strings,
                                int& count) {
  count = 0;
  strings[0] = "";
  const auto s = mgmt::smbios::ReadStructure(fetched, 0);
  if (!s) return nullptr;
  for (size_t n = 1; n <= s->StringCount(); ++n) {
    // The walker found each string's NUL inside the buffer.
    strings[n] = s->String(n)->data();
  }
  count = static_cast<int>(s->StringCount());
  if (s->TooManyStrings()) return nullptr;
  return fetched.data() + s->Size();
}

const char* PnPSelectString(const char* const* strings, int count, uint8_t n) {
  if (n == 0) return "";
  if (n > count) return kPnpBadStringText;
  return strings[n];
}

}  // namespace Pegasus
