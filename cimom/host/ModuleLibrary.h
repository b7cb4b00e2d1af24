// A provider module library opened with dlopen and closed when the last provider
// made from it has been deleted.
#ifndef MGMT_CIMOM_HOST_MODULELIBRARY_H
#define MGMT_CIMOM_HOST_MODULELIBRARY_H

#include <Pegasus/Provider/CIMProvider.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace mgmt::cimom {

/// The module's exported factory, `extern "C" CIMProvider* PegasusCreateProvider(const String&)`.
using ProviderFactoryFn = Pegasus::CIMProvider* (*)(const Pegasus::String&);

class ModuleLibrary {
 public:
  /// Opens the library; throws std::runtime_error with dlerror()'s text.
  explicit ModuleLibrary(const std::filesystem::path& file);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  /// The PegasusCreateProvider entry; throws std::runtime_error "entry point not found".
  ProviderFactoryFn Factory() const;

  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  void* handle_ = nullptr;
};

/// Opens each module file once and shares it between the providers made from it.
class ModuleCache {
 public:
  std::shared_ptr<ModuleLibrary> Open(const std::filesystem::path& file);

 private:
  std::mutex lock_;
  std::unordered_map<std::string, std::weak_ptr<ModuleLibrary>> open_;
};

}  // namespace mgmt::cimom

#endif
