#include <cstdlib>

#include "cfgstore.h"

extern "C" int CfgReadLongs(_CfgFile* cfg, const char* section, const char* key, long* values,
                            int count) {
  if (values == nullptr || count < 0) return -1;
  const char* cursor = CfgGetString(cfg, section, key);
  if (cursor == nullptr) return -1;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    values[i] = std::strtol(cursor, &end, 0);
    cursor = end;
    // Step over the separator, or over a character that was no number.
    if (*cursor != '\0') ++cursor;
  }
  return 0;
}
