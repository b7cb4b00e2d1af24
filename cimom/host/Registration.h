// Provider registrations: which provider of which module serves which classes, in
// which namespaces, as instance and/or method provider. File format in
// mof/README.md.
#ifndef MGMT_CIMOM_HOST_REGISTRATION_H
#define MGMT_CIMOM_HOST_REGISTRATION_H

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::cimom {

struct ProviderRegistration {
  std::string module;                   ///< as written: base name, file name or absolute path
  std::string providerName;             ///< passed to PegasusCreateProvider
  std::vector<std::string> classes;     ///< class names as written
  std::vector<std::string> namespaces;  ///< namespace names as written (default root/cimv2)
  bool instanceProvider = false;
  bool methodProvider = false;
  std::string file;  ///< where it was read, for messages
  int line = 0;
};

/// Parses the text of one registration file. Throws ConfigError("file:line: ...").
std::vector<ProviderRegistration> ParseRegistrations(std::string_view text,
                                                     const std::string& fileName);

/// Reads every *.reg file of `dir` (sorted by name). A missing directory means no
/// registrations.
std::vector<ProviderRegistration> LoadRegistrations(const std::filesystem::path& dir);

/// The file a registration's module names: an absolute path as it stands (through
/// the installation root), otherwise the first `lib<base>.so` or `<file>.so` found
/// in `moduleDirs`. Empty when not found.
std::filesystem::path ResolveModulePath(const std::string& module,
                                        const std::vector<std::filesystem::path>& moduleDirs);

}  // namespace mgmt::cimom

#endif
