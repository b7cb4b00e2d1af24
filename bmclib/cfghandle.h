// Internal: the configuration store handle that the file operations of the
// value classes open for themselves when their caller gives none.
#ifndef MGMT_BMCLIB_CFGHANDLE_H
#define MGMT_BMCLIB_CFGHANDLE_H

#include <memory>

#include "cfgfile.h"

namespace mgmt::bmc {

struct CfgFreer {
  void operator()(_CfgFile* cfg) const { CfgFree(cfg); }
};
using CfgHandle = std::unique_ptr<_CfgFile, CfgFreer>;

/// The caller's handle, or a new one read from `path`.
class CfgScope {
 public:
  enum class Use { kRead, kWrite };
  /// `given` is used as it is; otherwise `path` is read into a handle of our own.
  CfgScope(_CfgFile* given, const char* path, Use use);
  /// The handle to work in; null when ours could not be read: for a reader a
  /// missing file too, for a writer only a file that exists but is unreadable
  /// (or memory ran out), since a missing file is one the writer creates.
  _CfgFile* Get() const { return given_ != nullptr ? given_ : own_.get(); }
  bool Own() const { return given_ == nullptr; }
  /// Writes our own handle back; a given one is the caller's to flush.
  /// @return 0, or -1 when the flush failed.
  int FlushIfOwn();

 private:
  _CfgFile* given_;
  CfgHandle own_;
};

/// The first number of `key` in `section`; 0 when the key is missing or holds none.
long ReadCfgNumber(_CfgFile* cfg, const char* section, const char* key);
/// Writes `value` in decimal. @return 0, or 1 when it did not reach the store
/// (CfgWriteLongs itself reports nothing; a number always reads back unless
/// memory ran out).
int WriteCfgNumber(_CfgFile* cfg, const char* section, const char* key, long value);

}  // namespace mgmt::bmc

#endif
