// Replacing a file atomically, for the configuration store's flush.
#ifndef MGMT_BMCLIB_CFG_REPLACEFILE_H
#define MGMT_BMCLIB_CFG_REPLACEFILE_H

#include <string>
#include <string_view>

namespace cfgstore {

/// Replaces the file at `path` (already resolved through the installation root)
/// by one holding `content`, so that a reader or a crash sees either the old
/// file or the new one, never a mix or nothing: a sibling file in the same
/// directory is written, synced, given the original's owner and mode, and
/// renamed over it. A symbolic link is followed to the file it names, which is
/// the one replaced. A new file gets the mode a plain create would give it.
/// @return false when the file could not be written; the original is untouched.
bool ReplaceFile(const std::string& path, std::string_view content);

}  // namespace cfgstore

#endif
