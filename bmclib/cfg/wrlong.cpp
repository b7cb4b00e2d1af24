#include <cstdio>
#include <cstring>

#include "cfgstore.h"

namespace {

/// Appends one number and its blank at `out`; false when it does not fit.
bool FormatOne(char* out, std::size_t room, long value, int base) {
  int len = 0;
  if (base != 16) {
    len = std::snprintf(out, room, "%ld ", value);
  } else if (value >= 0) {
    len = std::snprintf(out, room, "0x%lX ", static_cast<unsigned long>(value));
  } else {
    // As a signed hexadecimal number, so that strtol reads back the same value.
    const unsigned long magnitude = 0UL - static_cast<unsigned long>(value);
    len = std::snprintf(out, room, "-0x%lX ", magnitude);
  }
  return len >= 0 && static_cast<std::size_t>(len) < room;
}

}  // namespace

extern "C" void CfgWriteLongs(_CfgFile* cfg, const char* section, const char* key,
                              const long* values, int count, int base) {
  if (cfg == nullptr || count < 0 || (values == nullptr && count > 0)) return;
  char text[CFG_LINE_BUFFER] = {};
  std::size_t used = 0;
  for (int i = 0; i < count; ++i) {
    // A list cut short would silently lose numbers: leave the old value instead.
    if (!FormatOne(text + used, sizeof text - used, values[i], base)) return;
    used += std::strlen(text + used);
  }
  CfgWriteString(cfg, section, key, text);
}
