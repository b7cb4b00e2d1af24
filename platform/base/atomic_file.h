// Replacing a file's contents so that a reader, a crash or a power cut sees either
// the old file or the new one, never a mix, a truncated file or none at all.
#ifndef MGMT_BASE_ATOMIC_FILE_H
#define MGMT_BASE_ATOMIC_FILE_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace mgmt::base {

struct ReplaceOptions {
  /// Mode of a file that does not exist yet, as a create with this mode gives it
  /// (the umask applies).
  mode_t modeIfNew = 0666;
  /// When set, the file gets exactly this mode even if it had another (a file of
  /// secrets that must never stay readable by others); otherwise an existing
  /// file keeps its mode.
  std::optional<mode_t> mode{};
};

/// Replaces the file at `path` (already resolved through the installation root) by
/// one holding `contents`: a sibling ".NAME.PID.N.tmp" in the same directory is
/// written, synced, given the original's owner and mode, renamed over it, and the
/// directory is synced. A symbolic link is followed to the file it names, which is
/// the one replaced. Siblings of that naming left behind by processes that died
/// mid-write are removed on the way (never those of a live process).
/// @return 0, or -1 with errno set; the original is then untouched.
int ReplaceFileContents(const std::string& path, std::string_view contents,
                        const ReplaceOptions& options = {});

}  // namespace mgmt::base

#endif
