#include <new>
#include <string>

#include "base/atomic_file.h"
#include "cfgstore.h"
#include "installroot.h"

extern "C" {

int CfgFlush(_CfgFile* cfg) {
  if (cfg == nullptr) return 1;
  if (cfg->dirty == 0) {
    cfg->status = CFG_OK;
    return 0;
  }
  bool written = false;
  try {
    std::string content;
    for (const _CfgLine* line = cfg->head->next; line != nullptr; line = line->next) {
      if (line->text != nullptr) content += line->text;
      content += '\n';
    }
    written = mgmt::base::ReplaceFileContents(mgmt::RootPath(cfg->path), content) == 0;
  } catch (const std::bad_alloc&) {
    written = false;
  }
  if (!written) {
    cfg->status = CFG_NOFILE;
    return 1;
  }
  cfg->dirty = 0;
  cfg->status = CFG_OK;
  return 0;
}

int CfgClose(_CfgFile* cfg) {
  const int result = CfgFlush(cfg);
  CfgFree(cfg);
  return result;
}

}  // extern "C"
