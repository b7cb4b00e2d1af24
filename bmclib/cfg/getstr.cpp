#include "cfgstore.h"

extern "C" const char* CfgGetString(_CfgFile* cfg, const char* section, const char* key) {
  if (cfg == nullptr || section == nullptr || key == nullptr) return nullptr;
  _CfgLine* header = LocateSection(cfg, section);
  if (header == nullptr) return nullptr;
  return LocateEntry(header, key, nullptr);
}
