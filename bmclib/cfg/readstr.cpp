#include <cstring>

#include "cfgstore.h"

namespace {

void CopyValue(char* buf, int size, const char* value) {
  std::strncpy(buf, value, static_cast<std::size_t>(size));
  buf[size - 1] = '\0';
}

}  // namespace

extern "C" {

int CfgReadString(_CfgFile* cfg, const char* section, const char* key, char* buf, int size) {
  if (buf == nullptr || size <= 0) return -1;
  const char* value = CfgGetString(cfg, section, key);
  if (value == nullptr) return -1;
  CopyValue(buf, size, value);
  return 0;
}

void CfgReadStringDef(_CfgFile* cfg, const char* section, const char* key, char* buf, int size,
                      const char* def) {
  if (buf == nullptr || size <= 0) return;
  if (CfgReadString(cfg, section, key, buf, size) != 0)
    CopyValue(buf, size, def != nullptr ? def : "");
}

}  // extern "C"
