#include "cfghandle.h"

namespace mgmt::bmc {

CfgScope::CfgScope(_CfgFile* given, const char* path, Use use) : given_(given) {
  if (given_ != nullptr) return;
  CfgHandle handle(CfgNew(path));
  if (handle == nullptr) return;
  const int status = CfgCache(handle.get());
  if (status == CFG_OK || (status == CFG_NOFILE && use == Use::kWrite)) own_ = std::move(handle);
}

int CfgScope::FlushIfOwn() {
  if (given_ != nullptr || own_ == nullptr) return 0;
  return CfgFlush(own_.get()) == 0 ? 0 : -1;
}

long ReadCfgNumber(_CfgFile* cfg, const char* section, const char* key) {
  long value = 0;
  CfgReadLongs(cfg, section, key, &value, 1);
  return value;
}

int WriteCfgNumber(_CfgFile* cfg, const char* section, const char* key, long value) {
  CfgWriteLongs(cfg, section, key, &value, 1, 10);
  return CfgGetString(cfg, section, key) != nullptr ? 0 : 1;
}

}  // namespace mgmt::bmc
