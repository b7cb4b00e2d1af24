// Reading the system's files for the storage collector: whole small text files,
// link targets and folder listings, each named by its path on the system and
// resolved through the installation root here.
#ifndef MGMT_PROVIDERS_STORAGE_STORAGEFILES_H
#define MGMT_PROVIDERS_STORAGE_STORAGEFILES_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace mgmt::storage {

/// Largest file read whole (a boot log of a long-running 2.4 machine is well
/// below it; /proc and /sys files are a page or two).
constexpr std::size_t kMaxTextFile = 4u << 20;

/// The whole text of `systemPath`, or nothing when it cannot be read or is
/// larger than kMaxTextFile.
std::optional<std::string> ReadTextFile(const std::string& systemPath);

/// The text a symbolic link holds, or nothing when `systemPath` is not a link.
std::optional<std::string> ReadLinkText(const std::string& systemPath);

/// The names in folder `systemPath` (without "." and ".."), sorted bytewise;
/// empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& systemPath);

/// Whether `systemPath` is a folder (following links).
bool IsFolder(const std::string& systemPath);

}  // namespace mgmt::storage

#endif
